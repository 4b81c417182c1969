#include "settings/tabs/SettingsStyle.h"

#include <QGuiApplication>

namespace SettingsStyle {

QFont font(int pixelSize, QFont::Weight weight)
{
    QFont result = QGuiApplication::font();
    result.setPixelSize(pixelSize);
    result.setWeight(weight);
    return result;
}

QColor withAlpha(QColor colour, double alpha)
{
    colour.setAlphaF(static_cast<float>(alpha));
    return colour;
}

} // namespace SettingsStyle
