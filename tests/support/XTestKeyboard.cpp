#include "support/XTestKeyboard.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QThread>

#include <atomic>
#include <memory>

#include <X11/XKBlib.h>
#include <X11/Xlib.h>
#include <X11/extensions/XInput.h>
#include <X11/extensions/XTest.h>

#include <cstring>

namespace {

Display* asDisplay(void* display)
{
    return static_cast<Display*>(display);
}

bool grabRefused = false;

int noteRefusedGrab(Display*, XErrorEvent* error)
{
    grabRefused = grabRefused || error->error_code == BadAccess;
    return 0;
}

} // namespace

XTestKeyboard::XTestKeyboard() : xDisplay(XOpenDisplay(nullptr)) { }

XTestKeyboard::~XTestKeyboard()
{
    if (xDisplay)
        XCloseDisplay(asDisplay(xDisplay));
}

void XTestKeyboard::send(const char* key, bool down)
{
    Display* display = asDisplay(xDisplay);
    unsigned int code = XKeysymToKeycode(display, XStringToKeysym(key));
    // A key comes up where it went down, whatever the map says by then.
    if (down)
        downKeys[key] = code;
    else if (const auto pressed = downKeys.find(key); pressed != downKeys.end())
        code = downKeys.extract(pressed).mapped();
    XTestFakeKeyEvent(display, code, down ? True : False, CurrentTime);
    XSync(display, False);
}

void XTestKeyboard::sendOnKeyboardDevice(const char* key, bool down)
{
    Display* display = asDisplay(xDisplay);
    int count = 0;
    XDeviceInfo* devices = XListInputDevices(display, &count);
    XID keyboard = 0;
    for (int i = 0; i < count && keyboard == 0; ++i)
        if (devices[i].use == IsXExtensionKeyboard && !std::strstr(devices[i].name, "XTEST"))
            keyboard = devices[i].id;
    if (devices)
        XFreeDeviceList(devices);
    XDevice* device = keyboard ? XOpenDevice(display, keyboard) : nullptr;
    if (!device)
        return;
    XTestFakeDeviceKeyEvent(
        display, device, XKeysymToKeycode(display, XStringToKeysym(key)), down ? True : False, nullptr, 0, CurrentTime);
    XCloseDevice(display, device);
    XSync(display, False);
}

namespace {

// XKB options whose keys for switching layouts are Ctrl or Shift keys at
// some level, and two that switch with Alt and one of them.
constexpr const char* layoutSwitchOptions[] = {"grp:ctrls_toggle", "grp:shifts_toggle", "grp:ctrl_shift_toggle",
    "grp:lctrl_lshift_toggle", "grp:alt_shift_toggle", "grp:ctrl_alt_toggle"};

} // namespace

QStringList XTestKeyboard::pasteUnderEachLayoutSwitch(
    const char* held, const std::function<void(const QString& text)>& paste)
{
    QStringList changed;
    for (const char* option : layoutSwitchOptions) {
        if (!setLayout({QStringLiteral("-layout"), QStringLiteral("us,ru"), QStringLiteral("-option"), QString(),
                QStringLiteral("-option"), QString::fromLatin1(option)})) {
            changed << QStringLiteral("%1 could not be set").arg(QString::fromLatin1(option));
            continue;
        }
        // setLayout() opened a fresh connection.
        Display* display = asDisplay(xDisplay);
        for (const unsigned int group : {0u, 1u}) {
            XkbLockGroup(display, XkbUseCoreKbd, group);
            XSync(display, False);
            press(held);
            const QString text = QStringLiteral("%1 %2 ").arg(QString::fromLatin1(option)).arg(group);
            paste(text);
            release(held);
            const State after = state();
            if (after.group != group)
                changed << QStringLiteral("%1 switched layout %2 to %3").arg(option).arg(group).arg(after.group);
            if ((after.locked | after.latched) != 0)
                changed << QStringLiteral("%1 left modifiers 0x%2 locked or latched in layout %3")
                               .arg(option)
                               .arg(after.locked | after.latched, 0, 16)
                               .arg(group);
        }
    }
    XkbLockGroup(asDisplay(xDisplay), XkbUseCoreKbd, 0);
    XSync(asDisplay(xDisplay), False);
    return changed;
}

std::function<void()> XTestKeyboard::releaseOnce(const char* key)
{
    auto pending = std::make_shared<std::atomic<bool>>(true);
    return [this, key, pending] {
        if (pending->exchange(false))
            release(key);
    };
}

bool XTestKeyboard::isDown(const char* key)
{
    Display* display = asDisplay(xDisplay);
    char keys[32] = {};
    XQueryKeymap(display, keys);
    const KeyCode code = XKeysymToKeycode(display, XStringToKeysym(key));
    return (keys[code / 8] & (1 << (code % 8))) != 0;
}

bool XTestKeyboard::setLayout(const QStringList& setxkbmapArguments)
{
    const bool changed = QProcess::execute(QStringLiteral("setxkbmap"), setxkbmapArguments) == 0;
    // A fresh connection reads the new map.
    if (xDisplay)
        XCloseDisplay(asDisplay(xDisplay));
    xDisplay = XOpenDisplay(nullptr);
    return changed && xDisplay;
}

void XTestKeyboard::setSlowAndBounceKeys(int slowKeysMs, int bounceKeysMs)
{
    Display* display = asDisplay(xDisplay);
    XkbDescPtr keyboard = XkbGetMap(display, 0, XkbUseCoreKbd);
    if (!keyboard)
        return;
    if (XkbGetControls(display, XkbAllControlsMask, keyboard) == Success) {
        XkbControlsPtr controls = keyboard->ctrls;
        controls->enabled_ctrls &= ~static_cast<unsigned int>(XkbSlowKeysMask | XkbBounceKeysMask);
        if (slowKeysMs > 0) {
            controls->enabled_ctrls |= XkbSlowKeysMask;
            controls->slow_keys_delay = static_cast<unsigned short>(slowKeysMs);
        }
        if (bounceKeysMs > 0) {
            controls->enabled_ctrls |= XkbBounceKeysMask;
            controls->debounce_delay = static_cast<unsigned short>(bounceKeysMs);
        }
        XkbSetControls(display, XkbSlowKeysMask | XkbBounceKeysMask | XkbControlsEnabledMask, keyboard);
    }
    XkbFreeKeyboard(keyboard, 0, True);
    XSync(display, False);
}

void XTestKeyboard::lockModifiers(unsigned int x11Mask, bool locked)
{
    XkbLockModifiers(asDisplay(xDisplay), XkbUseCoreKbd, x11Mask, locked ? x11Mask : 0);
    XSync(asDisplay(xDisplay), False);
}

XTestKeyboard::State XTestKeyboard::state()
{
    XkbStateRec now{};
    XkbGetState(asDisplay(xDisplay), XkbUseCoreKbd, &now);
    return {now.latched_mods, now.locked_mods, now.group};
}

bool XTestKeyboard::clearControlKeys()
{
    Display* display = asDisplay(xDisplay);
    XModifierKeymap* map = XGetModifierMapping(display);
    if (!map)
        return false;
    for (int i = 0; i < map->max_keypermod; ++i)
        map->modifiermap[ControlMapIndex * map->max_keypermod + i] = 0;
    const bool changed = XSetModifierMapping(display, map) == MappingSuccess;
    XFreeModifiermap(map);
    XSync(display, False);
    return changed;
}

void XTestKeyboard::touchKeyMap()
{
    Display* display = asDisplay(xDisplay);
    int minCode = 0, maxCode = 0;
    XDisplayKeycodes(display, &minCode, &maxCode);
    int perCode = 0;
    KeySym* syms = XGetKeyboardMapping(display, static_cast<KeyCode>(maxCode), 1, &perCode);
    if (!syms)
        return;
    XChangeKeyboardMapping(display, maxCode, perCode, syms, 1);
    XFree(syms);
    XSync(display, False);
}

ForeignKeyGrab::ForeignKeyGrab(const char* key, unsigned int x11Modifiers) : xDisplay(XOpenDisplay(nullptr))
{
    Display* display = asDisplay(xDisplay);
    if (!display)
        return;
    XGrabKey(display, XKeysymToKeycode(display, XStringToKeysym(key)), x11Modifiers, DefaultRootWindow(display), False,
        GrabModeAsync, GrabModeAsync);
    XSync(display, False);
}

ForeignKeyGrab::~ForeignKeyGrab()
{
    if (xDisplay)
        XCloseDisplay(asDisplay(xDisplay));
}

bool keyGrabbedElsewhere(const char* key, unsigned int x11Modifiers, const QByteArray& display)
{
    Display* connection = XOpenDisplay(display.isEmpty() ? nullptr : display.constData());
    if (!connection)
        return false;
    const KeyCode code = XKeysymToKeycode(connection, XStringToKeysym(key));
    const Window root = DefaultRootWindow(connection);
    XGrabServer(connection);
    grabRefused = false;
    const XErrorHandler previous = XSetErrorHandler(noteRefusedGrab);
    XGrabKey(connection, code, x11Modifiers, root, False, GrabModeAsync, GrabModeAsync);
    XSync(connection, False);
    XSetErrorHandler(previous);
    const bool refused = grabRefused;
    if (!refused)
        XUngrabKey(connection, code, x11Modifiers, root);
    XUngrabServer(connection);
    XCloseDisplay(connection);
    return refused;
}

KeystrokeRecorder::~KeystrokeRecorder()
{
    process.kill();
    process.waitForFinished(2000);
}

bool KeystrokeRecorder::start(const QStringList& arguments)
{
    process.setProgram(QCoreApplication::applicationDirPath() + "/keystroke_recorder");
    process.setArguments(arguments);
    process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    process.start();
    if (!process.waitForStarted(5000))
        return false;
    return pumpUntil([this] { return lines().contains("ready"); }, 10000);
}

QStringList KeystrokeRecorder::lines()
{
    output += QString::fromUtf8(process.readAllStandardOutput());
    return output.split('\n', Qt::SkipEmptyParts);
}
