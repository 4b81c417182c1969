#pragma once

class QMenu;
class QWidget;
class ShellHost;

// The tray icon's context menu: "Settings..." (Ctrl+,), "Check for
// Updates..." and "Quit" (Ctrl+Q), with separators between them. The caller
// owns the menu; hosts that draw the menu themselves read it at any time,
// so it is built once and kept.
namespace StatusMenu {

QMenu* build(ShellHost& host);

} // namespace StatusMenu
