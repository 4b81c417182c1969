#pragma once

class QMenu;
class QWidget;
class ShellHost;

// The tray icon's context menu: "Settings..." (Ctrl+,), "Check for
// Updates..." and "Quit" (Ctrl+Q), with separators between them. A fresh
// menu is built for every right click; it deletes itself once it closes.
namespace StatusMenu {

QMenu* build(ShellHost& host);

} // namespace StatusMenu
