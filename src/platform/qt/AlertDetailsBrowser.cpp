#include "platform/qt/AlertDetailsBrowser.h"

#include <QDesktopServices>
#include <QRegularExpression>

#include <cmath>

namespace {

// Colours, fonts and backgrounds of the sender are dropped: chosen for some
// web page, they can hide the text in either palette.
QString withoutStyling(QString html)
{
    static const QRegularExpression styleBlocks(QStringLiteral("<style\\b[^>]*>.*?</style\\s*>"),
        QRegularExpression::CaseInsensitiveOption | QRegularExpression::DotMatchesEverythingOption);
    static const QRegularExpression tag(QStringLiteral("<[a-zA-Z][^>]*>"));
    static const QRegularExpression styling(
        QStringLiteral("\\s(?:style|color|bgcolor|background|face)\\s*=\\s*(?:\"[^\"]*\"|'[^']*'|[^\\s>]+)"),
        QRegularExpression::CaseInsensitiveOption);
    html.remove(styleBlocks);
    // Only inside tags: the words of the notes stay as they are.
    QString result;
    qsizetype copied = 0;
    for (const QRegularExpressionMatch& match : tag.globalMatch(html)) {
        result += QStringView(html).mid(copied, match.capturedStart() - copied);
        result += match.captured().remove(styling);
        copied = match.capturedEnd();
    }
    return result + html.mid(copied);
}

double luminance(const QColor& color)
{
    const auto channel = [](double value) {
        return value <= 0.03928 ? value / 12.92 : std::pow((value + 0.055) / 1.055, 2.4);
    };
    return 0.2126 * channel(color.redF()) + 0.7152 * channel(color.greenF()) + 0.0722 * channel(color.blueF());
}

double contrast(const QColor& a, const QColor& b)
{
    const double x = luminance(a);
    const double y = luminance(b);
    return (std::max(x, y) + 0.05) / (std::min(x, y) + 0.05);
}

// The palette's link colour, moved towards the text colour until it reads
// on the background (many dark palettes keep a dark blue for links).
QColor readableLinkColor(const QPalette& palette)
{
    const QColor base = palette.color(QPalette::Base);
    const QColor text = palette.color(QPalette::Text);
    QColor link = palette.color(QPalette::Link);
    for (int step = 0; step < 8 && contrast(link, base) < 4.5; ++step)
        link = QColor::fromRgbF(
            (link.redF() + text.redF()) / 2, (link.greenF() + text.greenF()) / 2, (link.blueF() + text.blueF()) / 2);
    return link;
}

} // namespace

AlertDetailsBrowser::AlertDetailsBrowser(const QString& html, QWidget* parent) : QTextBrowser(parent)
{
    setOpenLinks(false);
    setOpenExternalLinks(false);
    document()->setDefaultStyleSheet(QStringLiteral("a { color: %1; }").arg(readableLinkColor(palette()).name()));
    setHtml(withoutStyling(html));
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
