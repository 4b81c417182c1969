#pragma once

#include <QTextBrowser>

// Shows rich text from elsewhere (a feed's release notes) without trusting
// it: web links open in the browser, any other link is ignored, nothing the
// text names, images included, is ever loaded, and its own colours and
// fonts give way to the palette's.
class AlertDetailsBrowser final : public QTextBrowser {
public:
    explicit AlertDetailsBrowser(const QString& html, QWidget* parent = nullptr);

    QVariant loadResource(int type, const QUrl& name) override;

private:
    static void openWebLink(const QUrl& link);
};
