#pragma once

#include "platform/HotkeyTap.h"

#include <memory>

// The hotkey tap as passive key grabs on the root window. The grabs live on a
// connection of their own, read by a thread of their own, so Qt's connection
// and its auto-repeat handling stay untouched. Each combination is grabbed
// four times (plain, with Caps Lock, with Num Lock, with both) so that the
// lock keys do not defeat the shortcut.
class X11HotkeyTap final : public HotkeyTap {
public:
    // Makes Xlib safe for use from several threads; call before anything in
    // the process opens a display.
    static void prepareProcess();

    X11HotkeyTap();
    ~X11HotkeyTap() override;
    X11HotkeyTap(const X11HotkeyTap&) = delete;
    X11HotkeyTap& operator=(const X11HotkeyTap&) = delete;

    bool create(const std::vector<HotkeyGrab>& grabs, Handler handler) override;
    bool exists() const override;
    bool setGrabs(const std::vector<HotkeyGrab>& grabs) override;
    std::vector<HotkeyGrab> refusedGrabs() const override;
    bool isHeldByAnotherProgram(const HotkeyGrab& grab) override;
    void setEnabled(bool enabled) override;
    bool isEnabled() const override;
    void invalidate() override;
    bool canPassOn() const override { return false; }
    bool isShortcutKeyHeld() const override;

private:
    class Connection;
    struct Delivery;

    std::unique_ptr<Connection> x11Connection;
    std::shared_ptr<Delivery> eventDelivery;
    std::vector<HotkeyGrab> requestedGrabs;
    std::vector<HotkeyGrab> refused;
};
