#pragma once

#include <QByteArray>
#include <QString>
#include <QUrl>

#include <optional>
#include <vector>

// One release announced by an update feed (an RSS "appcast").
struct AppcastItem {
    // Compared with the running version.
    QString version;
    // Shown to the user; the version when the feed gives no short form.
    QString displayVersion;
    QString title;
    // Release notes as the feed's description carries them (may be HTML).
    QString notes;
    QUrl releaseNotesLink;
    // The page the user is sent to for the download.
    QUrl downloadLink;
};

struct AppcastParseResult {
    std::vector<AppcastItem> items;
    // Empty when the feed was read; otherwise a sentence for the user.
    QString error;
    // What exactly the parser met, for the log (parser wording, line).
    QString detail;
};

namespace Appcast {

// Reads an RSS 2.0 feed. An item's version comes from a <version> element
// (any namespace) or the `version` attribute of its <enclosure>; items
// without one are skipped. The download link is the item's <link>, else the
// enclosure's address.
AppcastParseResult parse(const QByteArray& xml);

// Negative, zero or positive as `a` is older than, the same as or newer
// than `b`. Parts are split at dots and dashes; numbers compare as numbers,
// missing parts count as zero ("1.2" equals "1.2.0").
int compareVersions(const QString& a, const QString& b);

// Release notes as rich text: markup as the feed gave it, plain text with
// its paragraphs and lines kept. Empty for empty notes.
QString notesAsHtml(const QString& notes);

// The newest item that is newer than `currentVersion`, if any.
std::optional<AppcastItem> newerThan(const std::vector<AppcastItem>& items, const QString& currentVersion);

} // namespace Appcast
