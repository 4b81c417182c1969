// Sends one Ctrl+V chord the way the tool does and ends itself with SIGKILL
// as the chord's key is about to go out ("at-key"), or while the server holds
// it down for Slow Keys ("in-hold"): the tool's end at the worst moment.
// With no argument it lives on.
#include "platform/x11/X11KeySynthesizer.h"

#include <csignal>
#include <cstdio>
#include <cstring>
#include <thread>

int main(int argc, char** argv)
{
    const char* moment = argc > 1 ? argv[1] : "";
    const bool inHold = std::strcmp(moment, "in-hold") == 0;
    X11KeySynthesizer keys;
    if (*moment)
        keys.setBeforeChord([inHold] {
            if (!inHold)
                std::raise(SIGKILL);
            // Past the write, well inside a hold of a few hundred milliseconds.
            std::thread([] {
                std::this_thread::sleep_for(std::chrono::milliseconds(100));
                std::raise(SIGKILL);
            }).detach();
        });
    keys.sendPasteChord(PasteChord::controlV, {}, {});
    std::puts("the chord went out whole");
    return *moment ? 1 : 0;
}
