#include "popover/TranscriptText.h"

#include <QTextBoundaryFinder>

namespace TranscriptText {
namespace {

// The code-unit offset after the first `limit` grapheme clusters, or -1 when
// the text has no more than `limit` of them.
qsizetype cutAfter(const QString& text, qsizetype limit, qsizetype* count)
{
    QTextBoundaryFinder finder(QTextBoundaryFinder::Grapheme, text);
    qsizetype clusters = 0;
    qsizetype cut = -1;
    while (finder.toNextBoundary() != -1) {
        ++clusters;
        if (clusters == limit)
            cut = finder.position();
    }
    if (count)
        *count = clusters;
    return clusters > limit ? cut : -1;
}

} // namespace

qsizetype characterCount(const QString& text)
{
    if (text.isEmpty())
        return 0;
    qsizetype count = 0;
    cutAfter(text, 0, &count);
    return count;
}

QString preview(const QString& text, int limit)
{
    const qsizetype cut = cutAfter(text, limit, nullptr);
    if (cut < 0)
        return text;
    return text.left(cut) + QStringLiteral("...");
}

QString characterCountText(const QString& text)
{
    return QString::number(characterCount(text)) + QStringLiteral(" characters");
}

} // namespace TranscriptText
