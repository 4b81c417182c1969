#include "shell/theme/ParallaxEffect.h"

QPointF parallaxEffect(const QSizeF& offset, double intensity)
{
    return QPointF(offset.width() * intensity, offset.height() * intensity);
}
