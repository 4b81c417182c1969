#pragma once

#include <QString>

#include <vector>

typedef struct _XDisplay Display;

// What the keys of the X keyboard do as the server maps them: the key that
// types a keysym, the keysym a key types, the keys that give each modifier
// and the modifier Num Lock gives. The modifier map is read once, at
// construction; after a map change a fresh one reads the new map. The
// shortcut tap and the paste chord both read the keyboard through this.
class X11KeyboardMap {
public:
    explicit X11KeyboardMap(Display* display);

    // A key that types `keysym` in any group, 0 when none does.
    unsigned int keyFor(unsigned long keysym) const;
    // The key that types `keysym` in the layout group in force now, 0 when
    // that group has none (a Cyrillic layout has no "v").
    unsigned int keyInActiveGroup(unsigned long keysym) const;
    // A key nothing uses, mapped to type `keysym` in every group from now
    // on; 0 when every key is in use.
    unsigned int spareKeyMappedTo(unsigned long keysym) const;
    // The keysym `code` types in the first group at `level` (0 plain, 1 with
    // Shift); 0 (NoSymbol) when none.
    unsigned long keysymAt(unsigned int code, int level = 0) const;
    // Its keysym's name ("Control_L"), for the log.
    QString keyName(unsigned int code) const;

    // The keys that give the modifier of index `modifier` (ShiftMapIndex ...).
    const std::vector<unsigned int>& keysOf(int modifier) const { return byModifier[modifier]; }
    bool givesModifier(unsigned int code) const;
    // The X mask Num Lock gives (usually Mod2), 0 when it gives none.
    unsigned int numLockMask() const { return numLock; }

private:
    Display* display;
    std::vector<unsigned int> byModifier[8];
    unsigned int numLock = 0;
};
