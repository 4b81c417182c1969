#pragma once

#include <QFont>
#include <QString>
#include <QStringList>

// The text wrapped at `width` into at most `maxLines` lines; when it goes
// on, the last line is cut with an ellipsis.
QStringList wrappedLines(const QString& text, const QFont& font, int width, int maxLines);
