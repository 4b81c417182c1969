#include "popover/PopoverView.h"

#include "popover/PopoverViewModel.h"
#include "popover/StudioView.h"

#include "shell/theme/GlassmorphismView.h"
#include "shell/theme/TallowindTheme.h"

#include <QVBoxLayout>

#include <cmath>

namespace {
const int viewWidth = static_cast<int>(std::lround(TallowindTheme::Window::popoverWidth));
}

PopoverView::PopoverView(std::shared_ptr<PopoverViewModel> viewModel, QWidget* parent, StudioState::Scheduler scheduler)
    : QWidget(parent), model(std::move(viewModel)), studioView(new StudioView(*model, std::move(scheduler), this))
{
    setAccessibleName(QStringLiteral("Tallowind"));
    plate = glassBackground(this, cornerRadius);
    // The studio sits centred in the frame, as the two heights leave it room.
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addStretch(1);
    layout->addWidget(studioView);
    layout->addStretch(1);
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

void PopoverView::followExpansion()
{
    setFixedSize(viewWidth, targetHeight());
    updateGeometry();
}
