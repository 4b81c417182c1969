#pragma once

#include <QColor>
#include <QFont>

// Small drawing helpers shared by the Settings window's views.
namespace SettingsStyle {

// The application font at a fixed pixel size.
QFont font(int pixelSize, QFont::Weight weight = QFont::Normal);
QColor withAlpha(QColor colour, double alpha);

} // namespace SettingsStyle
