#include "platform/x11/X11KeyboardMap.h"

#include <X11/XKBlib.h>
#include <X11/Xlib.h>
#include <X11/keysym.h>

#include <algorithm>

X11KeyboardMap::X11KeyboardMap(Display* connection) : display(connection)
{
    XModifierKeymap* map = XGetModifierMapping(display);
    if (!map)
        return;
    const unsigned int numLockKey = keyFor(XK_Num_Lock);
    for (int modifier = 0; modifier < 8; ++modifier) {
        for (int i = 0; i < map->max_keypermod; ++i) {
            const unsigned int code = map->modifiermap[modifier * map->max_keypermod + i];
            if (code == 0)
                continue;
            byModifier[modifier].push_back(code);
            if (code == numLockKey)
                numLock = 1u << modifier;
        }
    }
    XFreeModifiermap(map);
}

unsigned int X11KeyboardMap::keyFor(unsigned long keysym) const
{
    return XKeysymToKeycode(display, keysym);
}

unsigned int X11KeyboardMap::keyInActiveGroup(unsigned long keysym) const
{
    XkbStateRec state{};
    if (XkbGetState(display, XkbUseCoreKbd, &state) != Success)
        return keyFor(keysym);
    XkbDescPtr xkb = XkbGetMap(display, XkbKeySymsMask | XkbKeyTypesMask, XkbUseCoreKbd);
    if (!xkb)
        return keyFor(keysym);
    unsigned int found = 0;
    for (int code = xkb->min_key_code; code <= xkb->max_key_code && found == 0; ++code) {
        const int groups = XkbKeyNumGroups(xkb, code);
        if (groups == 0)
            continue;
        // Keys with fewer groups wrap the active group into their range.
        const int group = state.group % groups;
        if (XkbKeySymEntry(xkb, code, 0, group) == keysym)
            found = static_cast<unsigned int>(code);
    }
    XkbFreeKeyboard(xkb, 0, True);
    return found;
}

unsigned int X11KeyboardMap::spareKeyMappedTo(unsigned long keysym) const
{
    int minCode = 0, maxCode = 0;
    XDisplayKeycodes(display, &minCode, &maxCode);
    int perCode = 0;
    KeySym* map = XGetKeyboardMapping(display, static_cast<KeyCode>(minCode), maxCode - minCode + 1, &perCode);
    if (!map)
        return 0;
    unsigned int spare = 0;
    for (int code = maxCode; code >= minCode && spare == 0; --code) {
        const KeySym* syms = map + (code - minCode) * perCode;
        if (std::all_of(syms, syms + perCode, [](KeySym sym) { return sym == NoSymbol; }))
            spare = static_cast<unsigned int>(code);
    }
    XFree(map);
    if (spare == 0)
        return 0;
    KeySym mapped[] = {keysym, keysym};
    XChangeKeyboardMapping(display, static_cast<int>(spare), 2, mapped, 1);
    XSync(display, False);
    return spare;
}

unsigned long X11KeyboardMap::keysymAt(unsigned int code, int level) const
{
    return XkbKeycodeToKeysym(display, static_cast<KeyCode>(code), 0, level);
}

QString X11KeyboardMap::keyName(unsigned int code) const
{
    const char* name = XKeysymToString(keysymAt(code));
    return name ? QString::fromLatin1(name) : QStringLiteral("key code %1").arg(code);
}

bool X11KeyboardMap::givesModifier(unsigned int code) const
{
    return std::any_of(std::begin(byModifier), std::end(byModifier), [code](const std::vector<unsigned int>& codes) {
        return std::find(codes.begin(), codes.end(), code) != codes.end();
    });
}
