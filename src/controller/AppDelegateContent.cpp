// What the popover panel and the Settings window show. Each returns the
// root view of its window, or nullptr while that view does not exist yet
// (the shell then shows a placeholder).
#include "controller/AppDelegate.h"

QWidget* AppDelegate::makePopoverContent()
{
    return nullptr;
}

QWidget* AppDelegate::makeSettingsContent()
{
    return nullptr;
}
