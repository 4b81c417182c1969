#pragma once

#include "popover/StudioState.h"

#include <QWidget>

#include <memory>

class GlassmorphismView;
class PopoverViewModel;
class StudioView;

// The popover's root: the studio on the glass plate, 380 wide and 80 high
// collapsed or 320 expanded, following the view model. A host embeds it as
// the only content of its panel and sizes the panel to sizeHint() (the
// view model asks the host to do so through PopoverHost); the user may make
// the panel larger, and the view fills it.
class PopoverView : public QWidget {
    Q_OBJECT

public:
    static constexpr double cornerRadius = 16.0;

    // Keeps the view model alive as long as the view.
    explicit PopoverView(
        std::shared_ptr<PopoverViewModel> viewModel, QWidget* parent = nullptr, StudioState::Scheduler scheduler = {});
    ~PopoverView() override;

    PopoverViewModel& viewModel() const { return *model; }
    StudioView* studio() const { return studioView; }
    GlassmorphismView* glass() const { return plate; }
    // The height the layout asks for now: 320 expanded, 80 collapsed.
    int targetHeight() const;

    QSize sizeHint() const override;

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    void followExpansion();

    std::shared_ptr<PopoverViewModel> model;
    StudioView* studioView;
    GlassmorphismView* plate;
};
