#pragma once

#include <QAccessible>

class QWidget;

// What the Settings window's own controls are to assistive technology: a
// sidebar entry is a page tab, selected while its page shows; a model card
// is a radio button, checked while its model is the chosen one. Installed
// by the first such control built.
namespace SettingsAccessibility {

void install();
// Tells listeners that `widget`'s selected or checked state changed.
void announceState(QWidget* widget, QAccessible::State changed);

} // namespace SettingsAccessibility
