#include "shell/tray/PopoverPanel.h"

#include "shell/ShellHost.h"
#include "shell/theme/Motion.h"
#include "shell/theme/MotionTransaction.h"
#include "shell/theme/TallowindTheme.h"
#include "shell/theme/WindowShape.h"
#include "shell/windows/ContentHost.h"

#include <QMouseEvent>
#include <QVBoxLayout>
#include <QVariantAnimation>

#include <cmath>

PopoverPanel::PopoverPanel(QWidget* parent)
    : QWidget(parent, Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint),
      host(new ContentHost(makeShellPlaceholder(QStringLiteral("Tallowind"), cornerRadius), this))
{
    setWindowTitle(QStringLiteral("Tallowind"));
    setAccessibleName(QStringLiteral("Tallowind popover"));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(host);
    setFocusProxy(host);
    WindowShape::apply(this, cornerRadius);
    setMouseTracking(true);
    setMinimumSize(static_cast<int>(TallowindTheme::Window::popoverWidth), collapsedHeight);
    resize(static_cast<int>(TallowindTheme::Window::popoverWidth), collapsedHeight);
}

void PopoverPanel::setContentWidget(QWidget* content)
{
    host->setContentWidget(content);
}

QWidget* PopoverPanel::contentWidget() const
{
    return host->contentWidget();
}

bool PopoverPanel::showsPlaceholder() const
{
    return host->showsPlaceholder();
}

QRect PopoverPanel::targetGeometry() const
{
    if (animation && animation->state() == QAbstractAnimation::Running)
        return animation->endValue().toRect();
    return geometry();
}

void PopoverPanel::resizeKeepingTop(bool expanded)
{
    const int target = expanded ? expandedHeight : collapsedHeight;
    const QRect from = targetGeometry();
    if (std::abs(target - from.height()) < 1)
        return;
    const QRect to(from.topLeft(), QSize(from.width(), target));
    if (animation)
        animation->stop();
    // Shrinking must be allowed before it starts; growing raises the floor
    // once the panel is there.
    const auto floorAt = [this](int height) { setMinimumHeight(height); };
    if (target < minimumHeight())
        floorAt(target);
    const MotionCurve curve = MotionTransaction::currentOr(
        TallowindTheme::TimingCurve{QEasingCurve::OutCubic, TallowindTheme::Animation::defaultDuration});
    if (motionMilliseconds(curve) <= 0 || !isVisible()) {
        setGeometry(to);
        floorAt(target);
        return;
    }
    QVariantAnimation* grow = makeMotion(curve, this);
    grow->setStartValue(geometry());
    grow->setEndValue(to);
    connect(
        grow, &QVariantAnimation::valueChanged, this, [this](const QVariant& value) { setGeometry(value.toRect()); });
    connect(grow, &QVariantAnimation::finished, this, [floorAt, target] { floorAt(target); });
    animation = grow;
    grow->start(QAbstractAnimation::DeleteWhenStopped);
}

void PopoverPanel::placeAt(QPoint origin)
{
    placedAt = origin;
    move(origin);
}

void PopoverPanel::present()
{
    show();
    raise();
    activateWindow();
}

void PopoverPanel::moveEvent(QMoveEvent* event)
{
    QWidget::moveEvent(event);
    if (delegate && pos() != placedAt)
        delegate->windowDidMove(this);
}

void PopoverPanel::mousePressEvent(QMouseEvent* event)
{
    if (!edgeResize.press(this, event) && !drag.press(this, event))
        QWidget::mousePressEvent(event);
}

void PopoverPanel::mouseMoveEvent(QMouseEvent* event)
{
    if (!edgeResize.move(this, event) && !drag.move(this, event))
        QWidget::mouseMoveEvent(event);
}

void PopoverPanel::mouseReleaseEvent(QMouseEvent* event)
{
    edgeResize.release();
    drag.release();
    QWidget::mouseReleaseEvent(event);
}
