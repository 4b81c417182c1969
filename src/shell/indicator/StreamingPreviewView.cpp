#include "shell/indicator/StreamingPreviewView.h"
#include "shell/TextLines.h"

#include "shell/theme/TallowindTheme.h"

#include "recording/RecordingManager.h"

#include <QEasingCurve>
#include <QMetaProperty>
#include <QPainter>
#include <QPainterPath>
#include <QStyle>
#include <QVariantAnimation>

#include <cmath>

namespace {

const QString listeningText = QStringLiteral("Listening...");

constexpr int horizontalInset = 20;
constexpr int symbolSize = 24;
constexpr int spacing = 12;
constexpr int textPixelSize = 15;
constexpr int maximumLines = 2;
constexpr int entranceMilliseconds = 400;

// A damped spring (response 0.25 s, damping fraction 0.8) over the
// animation's 0.4 s, as an easing curve.
qreal springCurve(qreal t)
{
    if (t >= 1.0)
        return 1.0;
    const double omega = 2.0 * M_PI / 0.25;
    const double zeta = 0.8;
    const double damped = omega * std::sqrt(1.0 - zeta * zeta);
    const double seconds = t * entranceMilliseconds / 1000.0;
    const double decay = std::exp(-zeta * omega * seconds);
    return 1.0 - decay * (std::cos(damped * seconds) + zeta * omega / damped * std::sin(damped * seconds));
}

QPainterPath pillShape(const QRectF& rect)
{
    QPainterPath path;
    path.addRoundedRect(rect, TallowindTheme::Window::cornerRadius, TallowindTheme::Window::cornerRadius);
    return path;
}

// Three box blurs in each direction approximate a Gaussian.
void blurAlpha(QImage& image, int radius)
{
    if (radius < 1)
        return;
    const int w = image.width();
    const int h = image.height();
    std::vector<int> line(static_cast<size_t>(std::max(w, h)));
    auto pass = [&](bool horizontal) {
        const int outer = horizontal ? h : w;
        const int length = horizontal ? w : h;
        for (int o = 0; o < outer; ++o) {
            auto pixel = [&](int i) -> QRgb& {
                return reinterpret_cast<QRgb*>(image.scanLine(horizontal ? o : i))[horizontal ? i : o];
            };
            for (int i = 0; i < length; ++i)
                line[static_cast<size_t>(i)] = qAlpha(pixel(i));
            int sum = 0;
            for (int i = -radius; i <= radius; ++i)
                sum += line[static_cast<size_t>(std::clamp(i, 0, length - 1))];
            for (int i = 0; i < length; ++i) {
                pixel(i) = qRgba(0, 0, 0, sum / (2 * radius + 1));
                sum += line[static_cast<size_t>(std::min(i + radius + 1, length - 1))];
                sum -= line[static_cast<size_t>(std::max(i - radius, 0))];
            }
        }
    };
    for (int round = 0; round < 3; ++round) {
        pass(true);
        pass(false);
    }
}

// A soft black shadow of the pill, drawn with the given blur radius.
void drawShadow(QPainter& painter, const QRectF& pill, double blurRadius, QPointF offset, double opacity)
{
    const int pad = static_cast<int>(std::ceil(blurRadius)) * 2;
    QImage image(pill.size().toSize() + QSize(2 * pad, 2 * pad), QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    {
        QPainter shape(&image);
        shape.setRenderHint(QPainter::Antialiasing);
        shape.fillPath(pillShape(QRectF(pad, pad, pill.width(), pill.height())), Qt::black);
    }
    // A box of this size thrice over spreads about as far as the radius.
    blurAlpha(image, std::max(1, static_cast<int>(std::lround(blurRadius / 2.0))));
    painter.save();
    painter.setOpacity(painter.opacity() * opacity);
    painter.drawImage(pill.topLeft() + offset - QPointF(pad, pad), image);
    painter.restore();
}

// The "mic.fill" symbol: a filled capsule in a U-shaped holder on a stand,
// centred in `box`.
void drawMicrophone(QPainter& painter, const QRectF& box, const QColor& color)
{
    const double h = box.height() * 0.8;
    const double w = h * 0.7;
    const QRectF area(box.center().x() - w / 2, box.center().y() - h / 2, w, h);
    const double capsuleWidth = w * 0.5;
    const QRectF capsule(area.center().x() - capsuleWidth / 2, area.top(), capsuleWidth, h * 0.62);
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setBrush(color);
    painter.setPen(Qt::NoPen);
    painter.drawRoundedRect(capsule, capsuleWidth / 2, capsuleWidth / 2);

    QPen pen(color, std::max(1.5, h * 0.09), Qt::SolidLine, Qt::RoundCap);
    painter.setPen(pen);
    painter.setBrush(Qt::NoBrush);
    const QRectF holder(area.left(), area.top() + h * 0.18, w, h * 0.62);
    painter.drawArc(holder, 180 * 16, 180 * 16);
    const double stemTop = holder.bottom();
    painter.drawLine(QPointF(area.center().x(), stemTop), QPointF(area.center().x(), area.bottom()));
    painter.drawLine(
        QPointF(area.center().x() - w * 0.3, area.bottom()), QPointF(area.center().x() + w * 0.3, area.bottom()));
    painter.restore();
}

QFont previewFont(const QFont& base)
{
    QFont font(base);
    font.setPixelSize(textPixelSize);
    font.setWeight(QFont::Medium);
    return font;
}

} // namespace

StreamingPreviewView::StreamingPreviewView(QWidget* parent) : StreamingPreviewView(&RecordingManager::shared(), parent)
{
}

StreamingPreviewView::StreamingPreviewView(QObject* transcriptionSource, QWidget* parent) : QWidget(parent)
{
    if (!parent) {
        // A floating panel that never takes the focus from the text field
        // being dictated into.
        setWindowFlags(Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint | Qt::WindowDoesNotAcceptFocus);
        setAttribute(Qt::WA_ShowWithoutActivating);
    }
    setAttribute(Qt::WA_TranslucentBackground);
    setFixedSize(sizeHint());

    entrance = new QVariantAnimation(this);
    entrance->setStartValue(0.0);
    entrance->setEndValue(1.0);
    entrance->setDuration(entranceMilliseconds);
    QEasingCurve spring;
    spring.setCustomType(springCurve);
    entrance->setEasingCurve(spring);
    connect(entrance, &QVariantAnimation::valueChanged, this, [this](const QVariant& value) {
        progress = value.toDouble();
        update();
    });

    watch(transcriptionSource);
}

StreamingPreviewView::~StreamingPreviewView() = default;

void StreamingPreviewView::watch(QObject* source)
{
    previewSource = source;
    if (!source)
        return;
    const QMetaObject* meta = source->metaObject();
    const int index = meta->indexOfProperty("currentTranscription");
    if (index < 0)
        return;
    const QMetaProperty property = meta->property(index);
    if (property.hasNotifySignal()) {
        const int slot = metaObject()->indexOfMethod("refreshText()");
        if (slot >= 0)
            QMetaObject::connect(source, property.notifySignalIndex(), this, slot);
    }
    refreshText();
}

void StreamingPreviewView::refreshText()
{
    transcription = previewSource ? previewSource->property("currentTranscription").toString() : QString();
    update();
}

QString StreamingPreviewView::displayedText() const
{
    return transcription.isEmpty() ? listeningText : transcription;
}

QSize StreamingPreviewView::sizeHint() const
{
    return {pillWidth + 2 * shadowMargin, pillHeight + 2 * shadowMargin};
}

QRect StreamingPreviewView::pillRect() const
{
    return {shadowMargin, shadowMargin, pillWidth, pillHeight};
}

void StreamingPreviewView::completeEntrance()
{
    if (entrance->state() == QAbstractAnimation::Running)
        entrance->setCurrentTime(entrance->duration());
}

void StreamingPreviewView::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    if (isVisible)
        return;
    isVisible = true;
    entrance->start();
}

QStringList StreamingPreviewView::visibleLines(const QFont& font, int width) const
{
    return wrappedLines(displayedText(), font, width, maximumLines);
}

QRectF StreamingPreviewView::textRect(const QRectF& pill) const
{
    const double left = pill.left() + horizontalInset + symbolSize + spacing;
    return {left, pill.top(), pill.right() - horizontalInset - left, pill.height()};
}

QStringList StreamingPreviewView::shownLines() const
{
    return visibleLines(previewFont(font()), static_cast<int>(textRect(pillRect()).width()));
}

void StreamingPreviewView::paintShadows(QPainter& painter, const QRectF& pill) const
{
    drawShadow(painter, pill, 20.0, QPointF(0, 10), 0.15);
    drawShadow(painter, pill, 5.0, QPointF(0, 2), 0.08);
}

void StreamingPreviewView::paintPill(QPainter& painter, const QRectF& pill) const
{
    const QPainterPath shape = pillShape(pill);
    painter.save();
    painter.setClipPath(shape);
    // No blur of what lies behind is possible without a compositor's help:
    // two translucent material layers stand in for it.
    QColor hud = palette().color(QPalette::Window);
    hud.setAlphaF(0.8f * 0.9f);
    painter.fillPath(shape, hud);
    QColor popover = palette().color(QPalette::Base);
    popover.setAlphaF(0.3f * 0.7f);
    painter.fillPath(shape, popover);
    painter.fillPath(shape, QColor(255, 255, 255, qRound(0.1 * 255)));

    const QColor label = palette().color(QPalette::WindowText);
    const QRectF symbolBox(pill.left() + horizontalInset, pill.center().y() - symbolSize / 2.0, symbolSize, symbolSize);
    drawMicrophone(painter, symbolBox, label);

    const QFont font = previewFont(this->font());
    const QRectF text = textRect(pill);
    const double textLeft = text.left();
    const int textWidth = static_cast<int>(text.width());
    const QStringList lines = visibleLines(font, textWidth);
    const QFontMetricsF metrics(font);
    const double blockHeight = metrics.height() * lines.size();
    double y = pill.center().y() - blockHeight / 2.0;
    painter.setFont(font);
    painter.setPen(label);
    const Qt::Alignment leading = QStyle::visualAlignment(layoutDirection(), Qt::AlignLeft);
    for (const QString& line : lines) {
        painter.drawText(QRectF(textLeft, y, textWidth, metrics.height()), int(leading | Qt::AlignVCenter), line);
        y += metrics.height();
    }
    painter.restore();

    // The border sits inside the edge.
    painter.save();
    painter.setPen(QPen(QColor(255, 255, 255, qRound(0.2 * 255)), 0.5));
    painter.setBrush(Qt::NoBrush);
    painter.drawPath(pillShape(pill.adjusted(0.25, 0.25, -0.25, -0.25)));
    painter.restore();
}

void StreamingPreviewView::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::TextAntialiasing);

    // Entrance: from 95 % size, 20 px up and transparent to rest.
    const double scale = 0.95 + 0.05 * progress;
    const double offsetY = -20.0 * (1.0 - progress);
    painter.setOpacity(std::clamp(progress, 0.0, 1.0));
    const QRectF rest = pillRect();
    painter.translate(rest.center() + QPointF(0, offsetY));
    painter.scale(scale, scale);
    painter.translate(-rest.center());

    paintShadows(painter, rest);
    paintPill(painter, rest);
}
