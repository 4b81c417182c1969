#include "shell/theme/SymbolIcons.h"

#include <QDir>
#include <QFile>
#include <QHash>
#include <QIconEngine>
#include <QPainter>
#include <QPixmapCache>
#include <QSvgRenderer>

#include <memory>

// Outside any namespace: the resource initialiser is a global symbol.
static void initialiseSymbolResources()
{
    Q_INIT_RESOURCE(symbols);
}

namespace SymbolIcons {
namespace {

const QString resourceFolder = QStringLiteral(":/symbols/");

enum class Layer { ink, shape, inlay };

const char* placeholder(Layer layer)
{
    switch (layer) {
    case Layer::ink:
        return "\"#000000\"";
    case Layer::shape:
        return "\"#7f7f7f\"";
    case Layer::inlay:
        return "\"#ff00ff\"";
    }
    return "";
}

void ensureResources()
{
    static const bool done = [] {
        initialiseSymbolResources();
        return true;
    }();
    (void)done;
}

QByteArray source(const QString& name)
{
    ensureResources();
    static QHash<QString, QByteArray> sources;
    auto found = sources.constFind(name);
    if (found != sources.constEnd())
        return *found;
    QFile file(resourceFolder + name + QStringLiteral(".svg"));
    QByteArray text;
    // A symbol name is one file name of the folder, never a path.
    if (!name.contains(QLatin1Char('/')) && file.open(QIODevice::ReadOnly))
        text = file.readAll();
    sources.insert(name, text);
    return text;
}

// One layer of a symbol in black, the others hidden; null when the symbol
// has no such layer.
QSvgRenderer* layerRenderer(const QString& name, Layer layer)
{
    static QHash<QString, std::shared_ptr<QSvgRenderer>> renderers;
    const QString key = name + QLatin1Char('/') + QString::number(static_cast<int>(layer));
    auto found = renderers.constFind(key);
    if (found != renderers.constEnd())
        return found->get();
    QByteArray text = source(name);
    std::shared_ptr<QSvgRenderer> renderer;
    if (text.contains(placeholder(layer))) {
        for (Layer other : {Layer::ink, Layer::shape, Layer::inlay})
            text.replace(placeholder(other), other == layer ? "\"#000000\"" : "\"none\"");
        renderer = std::make_shared<QSvgRenderer>(text);
        if (!renderer->isValid())
            renderer.reset();
    }
    renderers.insert(key, renderer);
    return renderer.get();
}

QImage renderLayer(QSvgRenderer* renderer, QSize size, const QColor& colour)
{
    QImage image(size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    renderer->render(&painter, QRectF(QPointF(0, 0), QSizeF(size)));
    painter.setCompositionMode(QPainter::CompositionMode_SourceIn);
    painter.fillRect(image.rect(), colour);
    return image;
}

QColor withAlpha(QColor colour, double factor)
{
    colour.setAlphaF(static_cast<float>(colour.alphaF() * factor));
    return colour;
}

QImage render(const QString& name, QSize size, const SymbolTint& tint)
{
    QImage result(size, QImage::Format_ARGB32_Premultiplied);
    result.fill(Qt::transparent);
    QPainter painter(&result);
    if (QSvgRenderer* shape = layerRenderer(name, Layer::shape)) {
        QColor colour = tint.primary;
        if (tint.rendering == SymbolRendering::hierarchical)
            colour = withAlpha(tint.primary, 0.45);
        else if (tint.rendering == SymbolRendering::palette)
            colour = tint.secondary;
        painter.drawImage(0, 0, renderLayer(shape, size, colour));
    }
    if (QSvgRenderer* inlay = layerRenderer(name, Layer::inlay)) {
        if (tint.rendering == SymbolRendering::monochrome) {
            painter.setCompositionMode(QPainter::CompositionMode_DestinationOut);
            painter.drawImage(0, 0, renderLayer(inlay, size, Qt::black));
            painter.setCompositionMode(QPainter::CompositionMode_SourceOver);
        } else {
            painter.drawImage(0, 0, renderLayer(inlay, size, tint.primary));
        }
    }
    if (QSvgRenderer* ink = layerRenderer(name, Layer::ink))
        painter.drawImage(0, 0, renderLayer(ink, size, tint.primary));
    return result;
}

SymbolTint tintFor(const QPalette& palette, QIcon::Mode mode)
{
    SymbolTint tint;
    switch (mode) {
    case QIcon::Disabled:
        tint.primary = palette.color(QPalette::Disabled, QPalette::WindowText);
        break;
    case QIcon::Selected:
        tint.primary = palette.color(QPalette::Active, QPalette::HighlightedText);
        break;
    default:
        tint.primary = palette.color(QPalette::Active, QPalette::WindowText);
        break;
    }
    return tint;
}

// Draws the symbol fresh for every size and mode, so no size is blurred.
class SymbolIconEngine : public QIconEngine {
public:
    SymbolIconEngine(QString symbolName, QPalette palette, std::optional<SymbolTint> fixedTint)
        : name(std::move(symbolName)), colours(std::move(palette)), fixed(std::move(fixedTint))
    {
    }

    void paint(QPainter* painter, const QRect& rect, QIcon::Mode mode, QIcon::State state) override
    {
        const qreal ratio = painter->device() ? painter->device()->devicePixelRatioF() : 1.0;
        const int side = std::min(rect.width(), rect.height());
        const QPixmap drawn = pixmapFor(side, mode, state, ratio);
        painter->drawPixmap(
            QRect(rect.x() + (rect.width() - side) / 2, rect.y() + (rect.height() - side) / 2, side, side), drawn);
    }

    QPixmap pixmap(const QSize& size, QIcon::Mode mode, QIcon::State state) override
    {
        return pixmapFor(std::min(size.width(), size.height()), mode, state, 1.0);
    }

    QPixmap scaledPixmap(const QSize& size, QIcon::Mode mode, QIcon::State state, qreal scale) override
    {
        return pixmapFor(static_cast<int>(std::min(size.width(), size.height()) / scale), mode, state, scale);
    }

    QSize actualSize(const QSize& size, QIcon::Mode, QIcon::State) override
    {
        const int side = std::min(size.width(), size.height());
        return QSize(side, side);
    }

    QString key() const override { return QStringLiteral("tallowind-symbol"); }
    QIconEngine* clone() const override { return new SymbolIconEngine(name, colours, fixed); }
    QString iconName() override { return name; }
    bool isNull() override { return !contains(name); }

private:
    QPixmap pixmapFor(int side, QIcon::Mode mode, QIcon::State, qreal ratio)
    {
        SymbolTint tint = fixed ? *fixed : tintFor(colours, mode);
        if (fixed && mode == QIcon::Disabled) {
            tint.primary = withAlpha(tint.primary, 0.4);
            tint.secondary = withAlpha(tint.secondary, 0.4);
        }
        return SymbolIcons::pixmap(name, side, tint, ratio);
    }

    QString name;
    QPalette colours;
    std::optional<SymbolTint> fixed;
};

} // namespace

bool contains(const QString& name)
{
    return !name.isEmpty() && !source(name).isEmpty();
}

QStringList names()
{
    ensureResources();
    QStringList result;
    const QStringList files = QDir(resourceFolder).entryList({QStringLiteral("*.svg")}, QDir::Files, QDir::Name);
    for (const QString& file : files)
        result << file.chopped(4);
    return result;
}

QPixmap pixmap(const QString& name, int pixelSize, const SymbolTint& tint, qreal devicePixelRatio)
{
    if (pixelSize <= 0 || !contains(name))
        return QPixmap();
    const int device = std::max(1, static_cast<int>(std::lround(pixelSize * devicePixelRatio)));
    const QString key = QStringLiteral("symbol:%1:%2:%3:%4:%5")
                            .arg(name)
                            .arg(device)
                            .arg(tint.primary.rgba(), 0, 16)
                            .arg(tint.secondary.rgba(), 0, 16)
                            .arg(static_cast<int>(tint.rendering));
    QPixmap cached;
    if (!QPixmapCache::find(key, &cached)) {
        cached = QPixmap::fromImage(render(name, QSize(device, device), tint));
        QPixmapCache::insert(key, cached);
    }
    cached.setDevicePixelRatio(devicePixelRatio);
    return cached;
}

QIcon icon(const QString& name, const QPalette& palette)
{
    return QIcon(new SymbolIconEngine(name, palette, std::nullopt));
}

QIcon icon(const QString& name, const SymbolTint& tint)
{
    return QIcon(new SymbolIconEngine(name, QPalette(), tint));
}

} // namespace SymbolIcons
