#pragma once

#include <QString>

// Transcript lengths as the user sees them: in user-perceived characters
// (extended grapheme clusters), so an emoji with modifiers counts once.
namespace TranscriptText {

inline constexpr int previewLength = 50;

qsizetype characterCount(const QString& text);
// The first `limit` characters, followed by "..." only when the text goes on.
QString preview(const QString& text, int limit = previewLength);
// "N characters".
QString characterCountText(const QString& text);

} // namespace TranscriptText
