#include "shell/theme/SoftShadow.h"

#include <QCache>
#include <QPainter>

#include <algorithm>
#include <cmath>

namespace {

// Blur radius as given in the style tables is twice the Gaussian's sigma.
double sigmaOf(double blurRadius)
{
    return blurRadius / 2.0;
}

// One running-sum box pass over every row (or column) of an 8-bit image.
// Pixels outside the image count as transparent.
void boxPass(QImage& image, int radius, bool horizontal, std::vector<int>& line)
{
    uchar* bits = image.bits();
    const qsizetype stride = image.bytesPerLine();
    const int outer = horizontal ? image.height() : image.width();
    const int length = horizontal ? image.width() : image.height();
    const qsizetype step = horizontal ? 1 : stride;
    const int window = 2 * radius + 1;
    // line[] holds the pixels with `radius` zeros on either side.
    line.assign(static_cast<size_t>(length + 2 * radius + 1), 0);
    for (int o = 0; o < outer; ++o) {
        uchar* first = horizontal ? bits + o * stride : bits + o;
        for (int i = 0; i < length; ++i)
            line[static_cast<size_t>(i + radius)] = first[i * step];
        int sum = 0;
        for (int i = 0; i < window; ++i)
            sum += line[static_cast<size_t>(i)];
        for (int i = 0; i < length; ++i) {
            first[i * step] = static_cast<uchar>((sum + window / 2) / window);
            sum += line[static_cast<size_t>(i + window)] - line[static_cast<size_t>(i)];
        }
    }
}

// A wide blur loses nothing at a lower resolution: blur a reduced copy and
// scale it back smoothly, which keeps large shadows cheap.
QImage blurredCopy(const QImage& alpha, double sigma)
{
    const int factor = sigma >= 12.0 ? 4 : (sigma >= 6.0 ? 2 : 1);
    if (factor == 1) {
        QImage copy = alpha;
        blurAlpha(copy, sigma);
        return copy;
    }
    QImage reduced = alpha
                         .scaled(std::max(1, alpha.width() / factor), std::max(1, alpha.height() / factor),
                             Qt::IgnoreAspectRatio, Qt::SmoothTransformation)
                         .convertToFormat(QImage::Format_Alpha8);
    blurAlpha(reduced, sigma / factor);
    return reduced.scaled(alpha.size(), Qt::IgnoreAspectRatio, Qt::SmoothTransformation)
        .convertToFormat(QImage::Format_Alpha8);
}

} // namespace

void blurAlpha(QImage& alpha, double sigma)
{
    if (sigma <= 0.0 || alpha.isNull())
        return;
    // Three box passes of radius r have variance r(r+1).
    const int radius = std::max(1, static_cast<int>(std::lround(std::sqrt(sigma * sigma + 0.25) - 0.5)));
    std::vector<int> line;
    for (int pass = 0; pass < 3; ++pass) {
        boxPass(alpha, radius, true, line);
        boxPass(alpha, radius, false, line);
    }
}

ShadowImage renderStackedShadows(const QPainterPath& shape, const std::vector<DropShadow>& shadows)
{
    double pad = 1.0;
    for (const DropShadow& shadow : shadows)
        pad += 3.0 * sigmaOf(shadow.blurRadius) + std::max(std::abs(shadow.offset.x()), std::abs(shadow.offset.y()));
    const QRectF bounds = shape.boundingRect();
    const int margin = static_cast<int>(std::ceil(pad));
    const QSize size(static_cast<int>(std::ceil(bounds.right())) + 2 * margin,
        static_cast<int>(std::ceil(bounds.bottom())) + 2 * margin);
    const QPoint origin(margin, margin);

    // The layer so far: the shape, then each shadow slid under it.
    QImage layer(size, QImage::Format_ARGB32_Premultiplied);
    layer.fill(Qt::transparent);
    {
        QPainter painter(&layer);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.translate(origin);
        painter.fillPath(shape, Qt::black);
    }
    QImage shadowsOnly(size, QImage::Format_ARGB32_Premultiplied);
    shadowsOnly.fill(Qt::transparent);
    for (const DropShadow& shadow : shadows) {
        const QImage alpha = blurredCopy(layer.convertToFormat(QImage::Format_Alpha8), sigmaOf(shadow.blurRadius));
        QImage tinted(size, QImage::Format_ARGB32_Premultiplied);
        tinted.fill(Qt::transparent);
        {
            QPainter painter(&tinted);
            painter.drawImage(shadow.offset, alpha);
            painter.setCompositionMode(QPainter::CompositionMode_SourceIn);
            painter.fillRect(tinted.rect(), shadow.colour);
        }
        for (QImage* target : {&layer, &shadowsOnly}) {
            QPainter painter(target);
            painter.setCompositionMode(QPainter::CompositionMode_DestinationOver);
            painter.drawImage(0, 0, tinted);
        }
    }
    return {shadowsOnly, origin};
}

ShadowImage roundedRectShadows(const QSizeF& size, double cornerRadius, const std::vector<DropShadow>& shadows)
{
    static QCache<QString, ShadowImage> cache(8);
    QString key = QStringLiteral("%1x%2r%3").arg(size.width()).arg(size.height()).arg(cornerRadius);
    for (const DropShadow& shadow : shadows)
        key += QStringLiteral(";%1,%2,%3,%4")
                   .arg(shadow.colour.rgba(), 0, 16)
                   .arg(shadow.blurRadius)
                   .arg(shadow.offset.x())
                   .arg(shadow.offset.y());
    if (ShadowImage* hit = cache.object(key))
        return *hit;
    QPainterPath shape;
    const double radius = std::min(cornerRadius, std::min(size.width(), size.height()) / 2.0);
    shape.addRoundedRect(QRectF(QPointF(0, 0), size), radius, radius);
    auto* made = new ShadowImage(renderStackedShadows(shape, shadows));
    cache.insert(key, made, 1);
    return *made;
}
