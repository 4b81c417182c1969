#include "shell/indicator/RecordingIndicatorPanel.h"

#include "shell/indicator/RecordingProgressView.h"
#include "shell/theme/TallowindTheme.h"
#include "shell/theme/WindowShape.h"

#include <QVBoxLayout>

RecordingIndicatorPanel::RecordingIndicatorPanel(RecordingIndicatorHost* host, ScreenList screenList)
    : QWidget(nullptr,
        Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint | Qt::WindowDoesNotAcceptFocus
            | Qt::X11BypassWindowManagerHint | Qt::NoDropShadowWindowHint),
      content(new RecordingProgressView(host, this)),
      screens(screenList ? std::move(screenList) : ScreenList([] { return IndicatorPlacement::desktopScreens(); }))
{
    setAttribute(Qt::WA_ShowWithoutActivating);
    setWindowTitle(QStringLiteral("Recording"));
    setFocusPolicy(Qt::NoFocus);
    WindowShape::apply(this, TallowindTheme::Radius::small);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(content);
    setFixedSize(RecordingProgressView::plateWidth, RecordingProgressView::plateHeight);
}

void RecordingIndicatorPanel::showNear(const std::optional<QRectF>& field)
{
    move(IndicatorPlacement::originFor(size(), field, screens()));
    if (!isVisible())
        show();
    // Windows outside the window manager's care are stacked by hand.
    raise();
}

void RecordingIndicatorPanel::hideIndicator()
{
    hide();
}
