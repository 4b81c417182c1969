#include "platform/update/Appcast.h"

#include <QRegularExpression>
#include <QStringList>
#include <QXmlStreamReader>

namespace Appcast {
namespace {

// Reads the item that starts at the reader's current <item>.
AppcastItem readItem(QXmlStreamReader& reader)
{
    AppcastItem item;
    QString shortVersion;
    QUrl enclosure;
    QString enclosureVersion;
    while (reader.readNextStartElement()) {
        const auto name = reader.name();
        if (name == u"title") {
            item.title = reader.readElementText(QXmlStreamReader::IncludeChildElements).trimmed();
        } else if (name == u"version") {
            item.version = reader.readElementText().trimmed();
        } else if (name == u"shortVersionString") {
            shortVersion = reader.readElementText().trimmed();
        } else if (name == u"releaseNotesLink") {
            item.releaseNotesLink = QUrl(reader.readElementText().trimmed());
        } else if (name == u"link") {
            item.downloadLink = QUrl(reader.readElementText().trimmed());
        } else if (name == u"description") {
            item.notes = reader.readElementText(QXmlStreamReader::IncludeChildElements).trimmed();
        } else if (name == u"enclosure") {
            for (const QXmlStreamAttribute& attribute : reader.attributes()) {
                if (attribute.name() == u"url")
                    enclosure = QUrl(attribute.value().toString().trimmed());
                else if (attribute.name() == u"version")
                    enclosureVersion = attribute.value().toString().trimmed();
                else if (attribute.name() == u"shortVersionString" && shortVersion.isEmpty())
                    shortVersion = attribute.value().toString().trimmed();
            }
            reader.skipCurrentElement();
        } else {
            reader.skipCurrentElement();
        }
    }
    if (item.version.isEmpty())
        item.version = enclosureVersion;
    if (item.version.isEmpty())
        item.version = shortVersion;
    item.displayVersion = shortVersion.isEmpty() ? item.version : shortVersion;
    if (item.downloadLink.isEmpty())
        item.downloadLink = enclosure;
    return item;
}

bool isWebAddress(const QUrl& url)
{
    return url.isValid() && (url.scheme() == u"https" || url.scheme() == u"http");
}

} // namespace

AppcastParseResult parse(const QByteArray& xml)
{
    AppcastParseResult result;
    QXmlStreamReader reader(xml);
    if (!reader.readNextStartElement() || reader.name() != u"rss") {
        result.error = QStringLiteral("The update feed could not be read: the server did not send an RSS feed.");
        result.detail = reader.hasError()
            ? QStringLiteral("%1 at line %2").arg(reader.errorString()).arg(reader.lineNumber())
            : QStringLiteral("the document starts with <%1>, not <rss>").arg(reader.name());
        return result;
    }
    while (reader.readNextStartElement()) {
        if (reader.name() != u"channel") {
            reader.skipCurrentElement();
            continue;
        }
        while (reader.readNextStartElement()) {
            if (reader.name() != u"item") {
                reader.skipCurrentElement();
                continue;
            }
            AppcastItem item = readItem(reader);
            // Only addresses the browser can open are offered to the user.
            if (!isWebAddress(item.releaseNotesLink))
                item.releaseNotesLink = QUrl();
            if (!isWebAddress(item.downloadLink))
                item.downloadLink = QUrl();
            if (!item.version.isEmpty())
                result.items.push_back(std::move(item));
        }
    }
    if (reader.hasError()) {
        result.items.clear();
        result.error = QStringLiteral("The update feed could not be read.");
        result.detail = QStringLiteral("%1 at line %2").arg(reader.errorString()).arg(reader.lineNumber());
    }
    return result;
}

int compareVersions(const QString& a, const QString& b)
{
    static const QRegularExpression separators(QStringLiteral("[.\\-+_ ]"));
    QStringList left = a.trimmed().split(separators, Qt::SkipEmptyParts);
    QStringList right = b.trimmed().split(separators, Qt::SkipEmptyParts);
    // A leading "v" is a common decoration, not part of the number.
    for (QStringList* parts : {&left, &right})
        if (!parts->isEmpty() && parts->front().startsWith(u'v', Qt::CaseInsensitive))
            parts->front().remove(0, 1);
    const qsizetype count = std::max(left.size(), right.size());
    for (qsizetype i = 0; i < count; ++i) {
        const QString x = i < left.size() ? left[i] : QStringLiteral("0");
        const QString y = i < right.size() ? right[i] : QStringLiteral("0");
        bool xNumber = false;
        bool yNumber = false;
        const qulonglong xValue = x.toULongLong(&xNumber);
        const qulonglong yValue = y.toULongLong(&yNumber);
        if (xNumber && yNumber) {
            if (xValue != yValue)
                return xValue < yValue ? -1 : 1;
            continue;
        }
        // A pre-release word ("beta") ranks below any number in its place.
        if (xNumber != yNumber)
            return xNumber ? 1 : -1;
        const int order = QString::compare(x, y, Qt::CaseInsensitive);
        if (order != 0)
            return order < 0 ? -1 : 1;
    }
    return 0;
}

QString notesAsHtml(const QString& notes)
{
    const QString trimmed = notes.trimmed();
    static const QRegularExpression tag(QStringLiteral("</?[a-zA-Z][^>]*>"));
    if (trimmed.isEmpty() || tag.match(trimmed).hasMatch())
        return trimmed;
    static const QRegularExpression blankLines(QStringLiteral("\\n\\s*\\n"));
    QString html;
    for (const QString& paragraph : trimmed.split(blankLines, Qt::SkipEmptyParts))
        html += QStringLiteral("<p>") + paragraph.trimmed().toHtmlEscaped().replace(u'\n', QStringLiteral("<br>"))
            + QStringLiteral("</p>");
    return html;
}

std::optional<AppcastItem> newerThan(const std::vector<AppcastItem>& items, const QString& currentVersion)
{
    std::optional<AppcastItem> newest;
    for (const AppcastItem& item : items)
        if (compareVersions(item.version, currentVersion) > 0
            && (!newest || compareVersions(item.version, newest->version) > 0))
            newest = item;
    return newest;
}

} // namespace Appcast
