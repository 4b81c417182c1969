#include "popover/PopoverView.h"

#include "popover/PopoverViewModel.h"
#include "popover/StudioView.h"

#include "shell/theme/GlassmorphismView.h"
#include "shell/theme/TallowindTheme.h"

#include <QResizeEvent>

#include <cmath>

namespace {
const int viewWidth = static_cast<int>(std::lround(TallowindTheme::Window::popoverWidth));
}

PopoverView::PopoverView(std::shared_ptr<PopoverViewModel> viewModel, QWidget* parent, StudioState::Scheduler scheduler)
    : QWidget(parent), model(std::move(viewModel)), studioView(new StudioView(*model, std::move(scheduler), this))
{
    setAccessibleName(QStringLiteral("Tallowind"));
    plate = glassBackground(this, cornerRadius);
    // The studio fills the frame and centres itself in it. It is placed by
    // hand, not by a layout, so that its parts may take their time to leave
    // while the panel around them already shrinks.
    setMinimumSize(viewWidth, PopoverViewModel::collapsedHeight);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
    connect(model.get(), &PopoverViewModel::isExpandedChanged, this, &PopoverView::followExpansion);
    followExpansion();
}

// The studio goes first, while the view model it watches still exists.
PopoverView::~PopoverView()
{
    delete studioView;
}

int PopoverView::targetHeight() const
{
    return model->isExpanded() ? PopoverViewModel::expandedHeight : PopoverViewModel::collapsedHeight;
}

QSize PopoverView::sizeHint() const
{
    return {viewWidth, targetHeight()};
}

// Inside a panel the panel follows the model (through the host) and this
// view follows the panel; on its own it takes the height itself.
void PopoverView::followExpansion()
{
    updateGeometry();
    if (isWindow())
        resize(sizeHint());
}

void PopoverView::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    studioView->setGeometry(rect());
}
