#include "shell/errors/ErrorToastView.h"

#include "shell/TextLines.h"
#include "shell/theme/Motion.h"
#include "shell/theme/SoftShadow.h"
#include "shell/theme/SymbolIcons.h"
#include "shell/theme/TallowindTheme.h"

#include <QApplication>
#include <QEvent>
#include <QGraphicsOpacityEffect>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPointer>
#include <QTimer>
#include <QToolButton>
#include <QVariantAnimation>

namespace {

constexpr int padding = 12;
constexpr int spacing = 8;
constexpr int symbolSize = 16;
constexpr int closeSymbolSize = 14;
constexpr int textPixelSize = 13;

const std::vector<DropShadow>& bannerShadows()
{
    static const std::vector<DropShadow> shadows{{QColor(0, 0, 0, 51), 4.0, QPointF(0, 2)}};
    return shadows;
}

QString descriptionOf(const TallowindError& error)
{
    const QString description = error.errorDescription();
    return description.isEmpty() ? QStringLiteral("An error occurred") : description;
}

} // namespace

ErrorToastView::ErrorToastView(const TallowindError& error, std::function<void()> onDismiss, QWidget* parent)
    : QWidget(parent), shownError(error), dismissal(std::make_shared<std::function<void()>>(std::move(onDismiss)))
{
    setAttribute(Qt::WA_TranslucentBackground);
    setAccessibleName(QStringLiteral("Error"));
    setAccessibleDescription(descriptionOf(error));

    banner = new QWidget(this);
    auto* row = new QHBoxLayout(banner);
    row->setContentsMargins(padding, padding, padding, padding);
    row->setSpacing(spacing);

    symbol = new QLabel(banner);
    symbol->setFixedSize(symbolSize, symbolSize);
    symbol->setAccessibleName(QStringLiteral("Warning"));
    row->addWidget(symbol, 0, Qt::AlignVCenter);

    text = new QLabel(banner);
    QFont font = text->font();
    font.setPixelSize(textPixelSize);
    text->setFont(font);
    text->setTextFormat(Qt::PlainText);
    text->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    text->setAccessibleName(descriptionOf(error));
    row->addWidget(text, 1, Qt::AlignVCenter);

    row->addStretch(0);

    closer = new QToolButton(banner);
    closer->setAutoRaise(true);
    closer->setIconSize(QSize(closeSymbolSize, closeSymbolSize));
    closer->setFocusPolicy(Qt::StrongFocus);
    closer->setAccessibleName(QStringLiteral("Dismiss"));
    closer->setToolTip(QStringLiteral("Dismiss"));
    connect(closer, &QToolButton::clicked, this, &ErrorToastView::dismiss);
    row->addWidget(closer, 0, Qt::AlignVCenter);

    fade = new QGraphicsOpacityEffect(this);
    fade->setOpacity(0.0);
    setGraphicsEffect(fade);

    applyPalette();
    setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
}

ErrorToastView::~ErrorToastView() = default;

void ErrorToastView::applyPalette()
{
    const QPalette& colours = palette();
    symbol->setPixmap(SymbolIcons::pixmap(QStringLiteral("exclamationmark.triangle.fill"), symbolSize,
        SymbolTint::mono(TallowindTheme::Colors::cautionColor()), devicePixelRatioF()));
    closer->setIcon(SymbolIcons::icon(
        QStringLiteral("xmark.circle.fill"), SymbolTint::mono(TallowindTheme::Colors::textSecondary(colours))));
    QPalette textColours = text->palette();
    textColours.setColor(QPalette::WindowText, TallowindTheme::Colors::textPrimary(colours));
    text->setPalette(textColours);
}

int ErrorToastView::bannerHeight() const
{
    const int lineHeight = QFontMetrics(text->font()).lineSpacing();
    const int lines = std::max<int>(1, static_cast<int>(shownLines().size()));
    const int content = std::max({symbolSize, lines * lineHeight, closer->sizeHint().height()});
    return content + 2 * padding;
}

QRect ErrorToastView::bannerRect() const
{
    return banner->geometry();
}

QSize ErrorToastView::sizeHint() const
{
    return {preferredWidth + 2 * shadowMargin, bannerHeight() + 2 * shadowMargin};
}

QStringList ErrorToastView::shownLines() const
{
    // The width the layout gives the text: the banner less its padding, the
    // symbol, the close button and the gaps between them.
    const int bannerWidth = std::max(0, width() - 2 * shadowMargin);
    const int textWidth = bannerWidth - 2 * padding - symbolSize - closer->sizeHint().width() - 2 * spacing;
    return wrappedLines(descriptionOf(shownError), text->font(), std::max(1, textWidth), maximumLines);
}

void ErrorToastView::updateText()
{
    text->setText(shownLines().join(QLatin1Char('\n')));
}

void ErrorToastView::layoutBanner()
{
    const int height = bannerHeight();
    // Off screen the banner sits above the top edge; in place it rests
    // inside the shadow margin.
    const int restingY = shadowMargin;
    const int hiddenY = -height;
    const int y = static_cast<int>(std::lround(hiddenY + (restingY - hiddenY) * progress));
    banner->setGeometry(shadowMargin, y, std::max(0, width() - 2 * shadowMargin), height);
    fade->setOpacity(progress);
    update();
}

void ErrorToastView::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    updateText();
    layoutBanner();
}

void ErrorToastView::changeEvent(QEvent* event)
{
    QWidget::changeEvent(event);
    if (event->type() == QEvent::PaletteChange)
        applyPalette();
}

void ErrorToastView::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    if (appeared)
        return;
    appeared = true;
    updateText();
    animateTo(1.0);
    if (!shownError.shouldShowAlert()) {
        // Not cancelled by an earlier close: the callback still runs once.
        QTimer::singleShot(autoDismissMs, this, &ErrorToastView::dismiss);
    }
}

void ErrorToastView::animateTo(double target)
{
    if (transition)
        transition->stop();
    else {
        transition = new QVariantAnimation(this);
        connect(transition, &QVariantAnimation::valueChanged, this, [this](const QVariant& value) {
            progress = value.toDouble();
            layoutBanner();
        });
    }
    transition->setStartValue(progress);
    transition->setEndValue(target);
    transition->setEasingCurve(QEasingCurve::InOutQuad);
    const int duration = Motion::milliseconds(transitionSeconds);
    if (duration <= 0) {
        progress = target;
        layoutBanner();
        return;
    }
    transition->setDuration(duration);
    transition->start();
}

void ErrorToastView::finishTransition()
{
    if (transition && transition->state() == QAbstractAnimation::Running) {
        progress = transition->endValue().toDouble();
        transition->stop();
        layoutBanner();
    }
}

void ErrorToastView::dismiss()
{
    if (toastVisible) {
        toastVisible = false;
        closer->setEnabled(false);
        animateTo(0.0);
    }
    // Run on the application, not on this view, so the owner hears of it
    // even when it has already let the view go; and only the first time.
    std::shared_ptr<std::function<void()>> callback = dismissal;
    QTimer::singleShot(static_cast<int>(transitionSeconds * 1000), qApp, [callback] {
        if (!*callback)
            return;
        const std::function<void()> once = std::move(*callback);
        *callback = nullptr;
        once();
    });
}

void ErrorToastView::paintEvent(QPaintEvent*)
{
    if (progress <= 0.0)
        return;
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF area = banner->geometry();
    const ShadowImage shadow = roundedRectShadows(area.size(), TallowindTheme::Radius::small, bannerShadows());
    painter.drawImage(area.topLeft() - shadow.origin, shadow.image);
    QPainterPath shape;
    shape.addRoundedRect(area, TallowindTheme::Radius::small, TallowindTheme::Radius::small);
    painter.fillPath(shape, TallowindTheme::Colors::controlBackground(palette()));
}
