#pragma once

#include "core/state/RecordingState.h"

#include <memory>

// What the popover's content asks of the application controller: the panel
// that hosts it, the Settings window and the studio's recordings. The
// controller implements it; the popover holds it weakly (see PopoverHostLink)
// so that it never keeps the controller alive.
class PopoverHost {
public:
    PopoverHost() = default;
    // A copy is a different host with a lifetime of its own.
    PopoverHost(const PopoverHost&) { }
    PopoverHost& operator=(const PopoverHost&) { return *this; }
    virtual ~PopoverHost() = default;

    // The panel takes the popover's height for the layout (320 expanded, 80
    // collapsed), keeping its top edge in place.
    virtual void resizePopoverPanel(bool expanded) = 0;
    virtual void openSettings() = 0;

    // Marks the coming recording as a studio recording (transcribed and
    // announced, never typed into another application), then starts the
    // capture.
    virtual void startStudioRecording() = 0;
    // Stops the capture and transcribes it; the transcript is announced
    // later as "TranscriptionUpdated".
    virtual void stopStudioRecording() = 0;
    // Whether the controller captures right now, and for which mode.
    virtual bool isCapturing() const = 0;
    virtual RecordingMode recordingMode() const = 0;

private:
    friend class PopoverHostLink;
    std::shared_ptr<PopoverHost*> liveness = std::make_shared<PopoverHost*>(this);
};

// A weak link to a host: empty once the host is destroyed. Main thread only.
class PopoverHostLink {
public:
    PopoverHostLink() = default;
    explicit PopoverHostLink(PopoverHost* host)
        : target(host ? std::weak_ptr<PopoverHost*>(host->liveness) : std::weak_ptr<PopoverHost*>())
    {
    }

    PopoverHost* get() const
    {
        const auto alive = target.lock();
        return alive ? *alive : nullptr;
    }
    explicit operator bool() const { return get() != nullptr; }
    PopoverHost* operator->() const { return get(); }

private:
    std::weak_ptr<PopoverHost*> target;
};
