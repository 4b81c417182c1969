#include "shell/indicator/RecordingProgressView.h"

#include "base/Dispatch.h"
#include "shell/indicator/AudioLevelsView.h"
#include "shell/indicator/IndicatorSymbolButton.h"
#include "shell/indicator/RecordingIndicatorHost.h"
#include "shell/indicator/RecordingProgressViewModel.h"
#include "shell/theme/Appearance.h"
#include "shell/theme/GlassmorphismView.h"
#include "shell/theme/Motion.h"
#include "shell/theme/SpringAnimation.h"
#include "shell/theme/TallowindTheme.h"

#include <QGraphicsEffect>
#include <QHBoxLayout>
#include <QMouseEvent>
#include <QPainter>

#include <algorithm>
#include <cmath>

// Scales the plate about its centre and fades it, for the entrance; widgets
// cannot be scaled otherwise.
class RecordingProgressView::ScaleFadeEffect : public QGraphicsEffect {
public:
    using QGraphicsEffect::QGraphicsEffect;

    void setProgress(double scaleValue, double opacityValue)
    {
        scale = scaleValue;
        opacity = opacityValue;
        update();
    }

protected:
    void draw(QPainter* painter) override
    {
        if (scale == 1.0 && opacity >= 1.0) {
            drawSource(painter);
            return;
        }
        QPoint origin;
        const QPixmap pixmap =
            sourcePixmap(Qt::LogicalCoordinates, &origin, QGraphicsEffect::PadToEffectiveBoundingRect);
        const QRectF bounds = boundingRect();
        const QPointF centre = bounds.center();
        painter->save();
        painter->setOpacity(painter->opacity() * std::clamp(opacity, 0.0, 1.0));
        painter->setRenderHint(QPainter::SmoothPixmapTransform);
        painter->translate(centre);
        painter->scale(scale, scale);
        painter->translate(-centre);
        painter->drawPixmap(origin, pixmap);
        painter->restore();
    }

private:
    double scale = 1.0;
    double opacity = 1.0;
};

namespace {

// The entrance: a spring of 0.35 s response and 0.85 damping; the spring
// back after a drag: 0.3 s and 0.8.
constexpr TallowindTheme::SpringParameters entranceSpring{0.35, 0.85};
constexpr TallowindTheme::SpringParameters springBackSpring{0.3, 0.8};

// The inner padding of the plate around its row.
constexpr int horizontalPadding = 12;
constexpr int verticalPadding = 14;
constexpr int rowSpacing = 4;

bool isDark(const QPalette& palette)
{
    return colorSchemeOf(palette) == ColorScheme::dark;
}

QColor withAlpha(QColor colour, double alpha)
{
    colour.setAlphaF(static_cast<float>(alpha));
    return colour;
}

// On a dark plate the symbols are white as designed; on a light plate white
// would vanish, so the same symbols take near-black ink.
const QColor lightInk(29, 29, 31);

SymbolTint cancelTint(const QPalette& palette)
{
    const QColor ink = isDark(palette) ? QColor(Qt::white) : lightInk;
    return SymbolTint{withAlpha(ink, 0.9), QColor(), SymbolRendering::hierarchical};
}

SymbolTint finishTint(const QPalette& palette)
{
    if (isDark(palette))
        return SymbolTint{QColor(Qt::black), withAlpha(Qt::white, 0.95), SymbolRendering::palette};
    return SymbolTint{QColor(Qt::white), withAlpha(lightInk, 0.95), SymbolRendering::palette};
}

IndicatorSymbolButton* makeButton(
    const QString& symbol, IndicatorSymbolButton::TintForPalette tint, const QString& text, QWidget* parent)
{
    auto* button = new IndicatorSymbolButton(symbol, std::move(tint), parent);
    button->setToolTip(text);
    button->setAccessibleName(text);
    return button;
}

} // namespace

RecordingProgressView::RecordingProgressView(RecordingIndicatorHost* recordingHost, QWidget* parent)
    : QWidget(parent),
      host(recordingHost),
      model(new RecordingProgressViewModel(this)),
      plateWidget(new QWidget(this)),
      meter(new AudioLevelsView),
      cancel(makeButton(QStringLiteral("xmark.circle.fill"), cancelTint, QStringLiteral("Cancel recording"), nullptr)),
      finish(
          makeButton(QStringLiteral("checkmark.circle.fill"), finishTint, QStringLiteral("Finish recording"), nullptr)),
      effect(new ScaleFadeEffect(plateWidget)),
      entrance(new SpringAnimation(SpringEasing(entranceSpring), this)),
      springBack(new SpringAnimation(SpringEasing(springBackSpring), this))
{
    setAttribute(Qt::WA_TranslucentBackground);
    setFixedSize(plateWidth, plateHeight);
    setAccessibleName(QStringLiteral("Recording"));

    plateWidget->setGeometry(0, 0, plateWidth, plateHeight);
    glassBackground(plateWidget, TallowindTheme::Radius::small);
    auto* row = new QHBoxLayout(plateWidget);
    row->setContentsMargins(horizontalPadding, verticalPadding, horizontalPadding, verticalPadding);
    row->setSpacing(rowSpacing);
    row->addWidget(cancel, 0, Qt::AlignVCenter);
    row->addWidget(meter, 1, Qt::AlignVCenter);
    row->addWidget(finish, 0, Qt::AlignVCenter);
    setTabOrder(cancel, finish);

    meter->setLevels(model->audioLevels());
    connect(model, &RecordingProgressViewModel::audioLevelsChanged, meter, &AudioLevelsView::setLevels);

    connect(
        cancel, &QAbstractButton::clicked, this, [this] { act(&RecordingIndicatorHost::cancelIndicatedRecording); });
    connect(
        finish, &QAbstractButton::clicked, this, [this] { act(&RecordingIndicatorHost::finishIndicatedRecording); });

    effect->setProgress(hiddenScale, 0.0);
    plateWidget->setGraphicsEffect(effect);
    entrance->setStartValue(0.0);
    entrance->setEndValue(1.0);
    connect(entrance, &QVariantAnimation::valueChanged, this,
        [this](const QVariant& value) { setAppearValue(value.toDouble()); });
    connect(springBack, &QVariantAnimation::valueChanged, this,
        [this](const QVariant& value) { setDragOffset(value.toPointF()); });
}

QAbstractButton* RecordingProgressView::cancelButton() const
{
    return cancel;
}
QAbstractButton* RecordingProgressView::finishButton() const
{
    return finish;
}

void RecordingProgressView::act(void (RecordingIndicatorHost::*action)())
{
    // Like a click handler that starts a task: the button returns at once and
    // the recording is ended on the next turn of the main queue (ending it
    // hides the window that holds this button).
    if (!host)
        return;
    RecordingIndicatorHost* target = host;
    Dispatch::main().async([self = QPointer<RecordingProgressView>(this), target, action] {
        if (self)
            (target->*action)();
    });
}

void RecordingProgressView::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    if (appeared)
        return;
    appeared = true;
    entrance->setDuration(Motion::milliseconds(entrance->spring().settlingSeconds()));
    if (entrance->duration() <= 0) {
        setAppearValue(1.0);
        return;
    }
    entrance->start();
}

void RecordingProgressView::setAppearValue(double value)
{
    appearValue = value;
    const double scale = hiddenScale + (1.0 - hiddenScale) * value;
    // The spring overshoots its end; the plate may grow past full size for a
    // moment, but never be more than opaque.
    effect->setProgress(scale, std::clamp(value, 0.0, 1.0));
}

void RecordingProgressView::setDragOffset(const QPointF& value)
{
    offset = value;
    plateWidget->move(QPoint(static_cast<int>(std::lround(value.x())), static_cast<int>(std::lround(value.y()))));
}

void RecordingProgressView::mousePressEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton) {
        QWidget::mousePressEvent(event);
        return;
    }
    pressed = true;
    dragging = false;
    pressPosition = event->globalPosition();
    springBack->stop();
    event->accept();
}

void RecordingProgressView::mouseMoveEvent(QMouseEvent* event)
{
    if (!pressed)
        return;
    const QPointF translation = event->globalPosition() - pressPosition;
    if (!dragging && std::hypot(translation.x(), translation.y()) < dragThreshold)
        return;
    dragging = true;
    // The content follows the pointer; the window itself stays put.
    setDragOffset(translation);
    event->accept();
}

void RecordingProgressView::mouseReleaseEvent(QMouseEvent* event)
{
    if (!pressed || event->button() != Qt::LeftButton)
        return;
    pressed = false;
    if (!dragging)
        return;
    dragging = false;
    springBack->setStartValue(offset);
    springBack->setEndValue(QPointF(0, 0));
    springBack->setDuration(Motion::milliseconds(springBack->spring().settlingSeconds()));
    if (springBack->duration() <= 0) {
        setDragOffset(QPointF(0, 0));
        return;
    }
    springBack->start();
}
