#include "platform/x11/X11ModifiersInForce.h"

#include <QStringList>

#include <X11/XKBlib.h>
#include <X11/Xlib.h>

namespace {

QString modifierNames(unsigned int mask)
{
    static const char* const names[] = {"Shift", "Lock", "Control", "Mod1", "Mod2", "Mod3", "Mod4", "Mod5"};
    QStringList named;
    for (int modifier = 0; modifier < 8; ++modifier)
        if ((mask & (1u << modifier)) != 0)
            named << QString::fromLatin1(names[modifier]);
    return named.join(QStringLiteral(" and "));
}

} // namespace

X11ModifiersInForce::X11ModifiersInForce(Display* connection, unsigned int mask) : display(connection)
{
    XkbStateRec before{};
    if (XkbGetState(display, XkbUseCoreKbd, &before) != Success) {
        failure = QStringLiteral("the keyboard's state could not be read (no XKB extension)");
        return;
    }
    usersLatchedModifiers = before.latched_mods;
    usersLatchedGroup = before.latched_group;
    if (usersLatchedModifiers)
        XkbLatchModifiers(display, XkbUseCoreKbd, usersLatchedModifiers, 0);
    if (usersLatchedGroup)
        XkbLatchGroup(display, XkbUseCoreKbd, 0);
    latched = mask;
    locked = mask & ~static_cast<unsigned int>(before.locked_mods);
    XkbLatchModifiers(display, XkbUseCoreKbd, latched, latched);
    if (locked)
        XkbLockModifiers(display, XkbUseCoreKbd, locked, locked);

    XkbStateRec now{};
    if (XkbGetState(display, XkbUseCoreKbd, &now) != Success)
        failure = QStringLiteral("the keyboard's state could not be read");
    else if ((now.mods & mask) != mask)
        failure = QStringLiteral("%1 did not take hold on the keyboard").arg(modifierNames(mask & ~now.mods));
    else if (now.locked_group != before.locked_group)
        failure = QStringLiteral("the keyboard's layout group changed");
}

X11ModifiersInForce::~X11ModifiersInForce()
{
    // The key sent took the latch on its own device only: the other
    // keyboards under the core one still hold it.
    if (latched)
        XkbLatchModifiers(display, XkbUseCoreKbd, latched, 0);
    if (locked)
        XkbLockModifiers(display, XkbUseCoreKbd, locked, 0);
    if (usersLatchedModifiers)
        XkbLatchModifiers(display, XkbUseCoreKbd, usersLatchedModifiers, usersLatchedModifiers);
    if (usersLatchedGroup)
        XkbLatchGroup(display, XkbUseCoreKbd, static_cast<unsigned int>(usersLatchedGroup));
    XSync(display, False);
}
