// Another program holding a desktop-wide shortcut, as a desktop's own
// shortcut or a second dictation tool would. Arguments: <keysym name> <X
// modifier mask> (Mod1 = 8 for Alt). Grabs the key on the root window with
// that mask and with Caps Lock, prints "held" once the server has it (or
// "refused") and keeps it until standard input closes.
#include <X11/Xlib.h>

#include <cstdio>
#include <cstdlib>
#include <unistd.h>

int main(int argc, char** argv)
{
    if (argc != 3)
        return 2;
    Display* display = XOpenDisplay(nullptr);
    if (!display)
        return 1;
    static bool refused = false;
    XSetErrorHandler([](Display*, XErrorEvent*) {
        refused = true;
        return 0;
    });
    const KeyCode key = XKeysymToKeycode(display, XStringToKeysym(argv[1]));
    const auto mask = static_cast<unsigned int>(std::strtoul(argv[2], nullptr, 0));
    if (key == 0)
        return 1;
    const Window root = DefaultRootWindow(display);
    XGrabKey(display, key, mask, root, False, GrabModeAsync, GrabModeAsync);
    XGrabKey(display, key, mask | LockMask, root, False, GrabModeAsync, GrabModeAsync);
    XSync(display, False);
    std::puts(refused ? "refused" : "held");
    std::fflush(stdout);
    char byte;
    while (read(STDIN_FILENO, &byte, 1) > 0) { }
    XCloseDisplay(display);
    return 0;
}
