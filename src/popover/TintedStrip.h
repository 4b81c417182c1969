#pragma once

#include <QColor>
#include <QWidget>

#include <functional>

class QPalette;

// A row container with a flat background whose colour is worked out from
// the widget's palette each time it paints, so it follows light and dark.
class TintedStrip : public QWidget {
    Q_OBJECT

public:
    using Tint = std::function<QColor(const QPalette&)>;

    explicit TintedStrip(Tint tint, QWidget* parent = nullptr);
    QColor currentTint() const { return tint(palette()); }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    Tint tint;
};
