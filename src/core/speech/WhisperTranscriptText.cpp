#include "core/speech/WhisperTranscriptText.h"

namespace {

// Only U+0020 runs are collapsed; tabs and line breaks stay as they are.
QString collapseSpaceRuns(const QString& text)
{
    QString result;
    result.reserve(text.size());
    for (QChar character : text) {
        if (character == u' ' && result.endsWith(u' '))
            continue;
        result.append(character);
    }
    return result;
}

} // namespace

QString assembleTranscript(const std::vector<const char*>& segmentTexts)
{
    QString joined;
    for (const char* raw : segmentTexts) {
        if (raw == nullptr)
            continue;
        // Ill-formed UTF-8 becomes U+FFFD.
        const QString segment = QString::fromUtf8(raw).trimmed();
        if (segment.isEmpty())
            continue;
        if (!joined.isEmpty() && !joined.endsWith(u' '))
            joined.append(u' ');
        joined.append(segment);
    }
    return collapseSpaceRuns(joined).trimmed();
}
