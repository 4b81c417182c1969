// What the popover panel and the Settings window show. Each returns the
// root view of its window, or nullptr while that view does not exist yet
// (the shell then shows a placeholder).
#include "controller/AppDelegate.h"
#include "popover/PopoverView.h"
#include "popover/PopoverViewModel.h"
#include "settings/SettingsView.h"
#include "settings/SettingsViewModel.h"

QWidget* AppDelegate::makePopoverContent()
{
    if (!popoverViewModel)
        popoverViewModel = std::make_shared<PopoverViewModel>(this);
    return new PopoverView(popoverViewModel);
}

QWidget* AppDelegate::makeSettingsContent()
{
    auto* view = new SettingsView;
    view->viewModel()->setWorkspace(platformServices.workspace);
    view->viewModel()->setShortcutCaptureHost(this);
    view->viewModel()->setModelDownloads(modelDownloads);
    return view;
}
