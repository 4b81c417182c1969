#pragma once

#include "support/EventLoop.h"

#include <QProcess>
#include <QStringList>

#include <functional>
#include <map>
#include <string>

// Types on the test display through XTest, on a connection of its own, like
// the user's keyboard would. Keys are named by their keysym names ("Alt_L",
// "w", "Escape"). No X header leaks from here: its macros break Qt's.
class XTestKeyboard {
public:
    XTestKeyboard();
    ~XTestKeyboard();
    XTestKeyboard(const XTestKeyboard&) = delete;
    XTestKeyboard& operator=(const XTestKeyboard&) = delete;

    bool isOpen() const { return xDisplay != nullptr; }
    void press(const char* key) { send(key, true); }
    void release(const char* key) { send(key, false); }
    void tap(const char* key)
    {
        press(key);
        release(key);
    }
    // A hook that releases `key` the first time it runs, from whichever
    // thread: the user letting go as something else happens.
    std::function<void()> releaseOnce(const char* key);
    // The same on the server's own keyboard device (Xvfb's), not XTest's:
    // the user's physical keyboard beside a client that types through XTest.
    void pressOnKeyboardDevice(const char* key) { sendOnKeyboardDevice(key, true); }
    void releaseOnKeyboardDevice(const char* key) { sendOnKeyboardDevice(key, false); }
    // Whether the server counts the key as down (pressed by anyone).
    bool isDown(const char* key);
    // Switches the display's keyboard layouts (setxkbmap, "us", "ru,us",
    // "us -variant dvorak") and reads the new key map, as a keyboard would
    // type in it.
    bool setLayout(const QStringList& setxkbmapArguments);
    // English and Russian layouts, switched by the keys of each of
    // layoutSwitchOptions in turn: in either layout, holds `held` while
    // `paste` types a text that names the option and the layout. Returns what
    // the paste changed of the keyboard's state (the layout group, a modifier
    // left locked or latched), a line each; the first layout is active after.
    QStringList pasteUnderEachLayoutSwitch(const char* held, const std::function<void(const QString& text)>& paste);
    // The desktop's accessibility settings of the keyboard: Slow Keys and
    // Bounce Keys with these delays, 0 turning one off.
    void setSlowAndBounceKeys(int slowKeysMs, int bounceKeysMs);
    // Locks (or unlocks) the modifiers of an X mask (Shift = 1, Control = 4),
    // as a double tap of Shift under Sticky Keys or a Shift Lock key does.
    void lockModifiers(unsigned int x11Mask, bool locked);
    // The modifiers latched and locked now, as X masks, and the layout group.
    struct State {
        unsigned int latched = 0;
        unsigned int locked = 0;
        unsigned int group = 0;
    };
    State state();
    // Takes every key off the modifier map's Control row: no key gives
    // Control any more.
    bool clearControlKeys();
    // Rewrites one key of the map with what it already holds: every client
    // gets a key-map change that moves no key.
    void touchKeyMap();

private:
    void send(const char* key, bool down);
    void sendOnKeyboardDevice(const char* key, bool down);
    void* xDisplay;
    std::map<std::string, unsigned int> downKeys; // key name -> key code it went down on
};

// Another client holding a key grab on the root window, as a desktop's own
// shortcut would (modifiers as an X mask: Mod1 = 8).
class ForeignKeyGrab {
public:
    ForeignKeyGrab(const char* key, unsigned int x11Modifiers);
    ~ForeignKeyGrab();
    ForeignKeyGrab(const ForeignKeyGrab&) = delete;
    ForeignKeyGrab& operator=(const ForeignKeyGrab&) = delete;

private:
    void* xDisplay;
};

// Whether another client holds a grab of `key` with `x11Modifiers` on the
// root window of `display` (the test display when empty). Asked with the
// server grabbed, so the question never refuses a grab made meanwhile.
bool keyGrabbedElsewhere(const char* key, unsigned int x11Modifiers, const QByteArray& display = {});

// The keystroke_recorder tool in its own process, holding the focus.
class KeystrokeRecorder {
public:
    ~KeystrokeRecorder();
    // `arguments` go to the recorder's QApplication ("-name xterm" gives
    // its window that WM_CLASS).
    bool start(const QStringList& arguments = {});
    QStringList lines();
    bool saw(const QString& line) { return lines().contains(line); }

private:
    QProcess process;
    QString output;
};
