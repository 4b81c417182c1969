#pragma once

#include <QProgressBar>

// A thin bar for a download's fraction: a faint track that stays visible on
// light and dark cards, filled with the accent colour.
class DownloadProgressBar : public QProgressBar {
public:
    explicit DownloadProgressBar(QWidget* parent = nullptr);

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
};
