#pragma once

#include "platform/HotkeyTap.h"
#include <atomic>

#include <optional>

// A hotkey tap driven by the test: send() plays an event through the handler
// as the desktop would, and returns the handler's answer. By default it
// behaves like the X11 tap (only grabbed combinations arrive, nothing can be
// passed on); refuseCreation makes creation fail as a busy grab would.
class FakeHotkeyTap final : public HotkeyTap {
public:
    bool refuseCreation = false;
    bool passOnPossible = false;
    int createCalls = 0;
    int invalidateCalls = 0;

    bool create(const std::vector<HotkeyGrab>& grabs, Handler handler) override
    {
        ++createCalls;
        if (refuseCreation)
            return false;
        exists_ = true;
        enabled_ = true;
        grabs_ = grabs;
        handler_ = std::move(handler);
        return true;
    }
    bool exists() const override { return exists_; }
    bool setGrabs(const std::vector<HotkeyGrab>& grabs) override
    {
        grabs_ = grabs;
        return exists_;
    }
    void setEnabled(bool enabled) override { enabled_ = enabled; }
    bool isEnabled() const override { return exists_ && enabled_; }
    void invalidate() override
    {
        ++invalidateCalls;
        exists_ = false;
        handler_ = nullptr;
    }
    bool canPassOn() const override { return passOnPossible; }
    bool isShortcutKeyHeld() const override { return shortcutKeyHeld.load(); }
    std::atomic<bool> shortcutKeyHeld{false};

    const std::vector<HotkeyGrab>& grabs() const { return grabs_; }
    bool isGrabbed(uint16_t keyCode, uint32_t modifierFlags) const
    {
        for (const HotkeyGrab& grab : grabs_)
            if (grab.keyCode == keyCode && grab.modifierFlags == modifierFlags)
                return true;
        return false;
    }

    // Nothing when there is no tap to receive the event.
    std::optional<Disposition> send(HotkeyEvent::Type type, uint16_t keyCode, uint32_t modifierFlags)
    {
        if (!exists_ || !handler_)
            return std::nullopt;
        return handler_(HotkeyEvent{type, keyCode, modifierFlags});
    }
    std::optional<Disposition> keyDown(uint16_t keyCode, uint32_t flags)
    {
        return send(HotkeyEvent::Type::keyDown, keyCode, flags);
    }
    std::optional<Disposition> keyUp(uint16_t keyCode, uint32_t flags)
    {
        return send(HotkeyEvent::Type::keyUp, keyCode, flags);
    }
    std::optional<Disposition> flagsChanged(uint16_t keyCode, uint32_t flags)
    {
        return send(HotkeyEvent::Type::flagsChanged, keyCode, flags);
    }

    // Simulates the desktop turning the tap off behind our back.
    void disableBySystem() { enabled_ = false; }

private:
    bool exists_ = false;
    bool enabled_ = false;
    std::vector<HotkeyGrab> grabs_;
    Handler handler_;
};
