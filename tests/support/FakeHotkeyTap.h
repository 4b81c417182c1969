#pragma once

#include "platform/HotkeyTap.h"
#include <algorithm>
#include <atomic>

#include <optional>

// A hotkey tap driven by the test: send() plays an event through the handler
// as the desktop would, and returns the handler's answer. By default it
// behaves like the X11 tap (only grabbed combinations arrive, nothing can be
// passed on); refuseCreation makes creation fail as a missing display would,
// and the combinations in heldElsewhere are refused as another program's.
class FakeHotkeyTap final : public HotkeyTap {
public:
    bool refuseCreation = false;
    bool passOnPossible = false;
    int createCalls = 0;
    int invalidateCalls = 0;
    std::vector<HotkeyGrab> heldElsewhere;

    bool create(const std::vector<HotkeyGrab>& grabs, Handler handler) override
    {
        ++createCalls;
        if (refuseCreation)
            return false;
        tapExists = true;
        tapEnabled = true;
        currentGrabs = grabs;
        eventHandler = std::move(handler);
        return true;
    }
    std::vector<HotkeyGrab> refusedGrabs() const override
    {
        std::vector<HotkeyGrab> refused;
        for (const HotkeyGrab& grab : currentGrabs)
            if (std::find(heldElsewhere.begin(), heldElsewhere.end(), grab) != heldElsewhere.end())
                refused.push_back(grab);
        return refused;
    }
    bool isHeldByAnotherProgram(const HotkeyGrab& grab) override
    {
        return std::find(heldElsewhere.begin(), heldElsewhere.end(), grab) != heldElsewhere.end();
    }
    bool exists() const override { return tapExists; }
    bool setGrabs(const std::vector<HotkeyGrab>& grabs) override
    {
        currentGrabs = grabs;
        return tapExists;
    }
    void setEnabled(bool enabled) override { tapEnabled = enabled; }
    bool isEnabled() const override { return tapExists && tapEnabled; }
    void invalidate() override
    {
        ++invalidateCalls;
        tapExists = false;
        eventHandler = nullptr;
    }
    bool canPassOn() const override { return passOnPossible; }
    bool isShortcutKeyHeld() const override { return shortcutKeyHeld.load(); }
    std::atomic<bool> shortcutKeyHeld{false};

    const std::vector<HotkeyGrab>& grabs() const { return currentGrabs; }
    bool isGrabbed(uint16_t keyCode, uint32_t modifierFlags) const
    {
        for (const HotkeyGrab& grab : currentGrabs)
            if (grab.keyCode == keyCode && grab.modifierFlags == modifierFlags)
                return true;
        return false;
    }

    // Nothing when there is no tap to receive the event.
    std::optional<Disposition> send(HotkeyEvent::Type type, uint16_t keyCode, uint32_t modifierFlags)
    {
        if (!tapExists || !eventHandler)
            return std::nullopt;
        return eventHandler(HotkeyEvent{type, keyCode, modifierFlags});
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
    void disableBySystem() { tapEnabled = false; }

private:
    bool tapExists = false;
    bool tapEnabled = false;
    std::vector<HotkeyGrab> currentGrabs;
    Handler eventHandler;
};
