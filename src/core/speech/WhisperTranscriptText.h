#pragma once

#include <QString>

#include <vector>

// Joins the segment texts of one whisper pass into one line: each segment
// decoded as UTF-8 and trimmed, blank or missing segments skipped, one space
// between segments, runs of spaces collapsed, the whole trimmed. An empty
// result means the pass produced no text.
QString assembleTranscript(const std::vector<const char*>& segmentTexts);
