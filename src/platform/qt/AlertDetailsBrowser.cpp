#include "platform/qt/AlertDetailsBrowser.h"

#include <QDesktopServices>

AlertDetailsBrowser::AlertDetailsBrowser(const QString& html, QWidget* parent) : QTextBrowser(parent)
{
    setOpenLinks(false);
    setOpenExternalLinks(false);
    setHtml(html);
    setAccessibleName(QStringLiteral("Details"));
    setMinimumHeight(fontMetrics().lineSpacing() * 8);
    connect(this, &QTextBrowser::anchorClicked, this, &AlertDetailsBrowser::openWebLink);
}

QVariant AlertDetailsBrowser::loadResource(int, const QUrl&)
{
    return {};
}

void AlertDetailsBrowser::openWebLink(const QUrl& link)
{
    if (link.scheme() == u"https" || link.scheme() == u"http")
        QDesktopServices::openUrl(link);
}
