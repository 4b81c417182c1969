#pragma once

#include "platform/KeySynthesizer.h"

#include <chrono>
#include <map>
#include <vector>

// When a paste chord may go out, from what the keyboard shows and when. Our
// grab holds the chord up for as long as the user holds a shortcut; any other
// key for the bound, counted from when it was seen going down or from the end
// of a grab, whichever is later: the keys of a hold of ours are the user's.
// Past the bound a key counts as stuck, left down by another client, until it
// is seen up or the chord releases it: pressed again, it is waited for afresh.
class ChordHoldRule {
public:
    using Clock = std::chrono::steady_clock;

    struct Verdict {
        bool wait = false;
        // The keys the chord may go out with (when it need not wait).
        std::vector<DownKey> stuck;
        // The keys this look took as stuck, to be named once.
        std::vector<DownKey> newlyStuck;
    };

    explicit ChordHoldRule(Clock::duration strayKeyBound) : bound(strayKeyBound) { }

    Verdict look(const ChordHoldUp& holdUp, Clock::time_point now);
    // A chord went out with `stuck`: those it released are up now, whatever
    // the next look finds.
    void chordWentOut(const std::vector<DownKey>& stuck);

private:
    struct SeenDown {
        Clock::time_point since;
        bool stuck = false;
    };

    Clock::duration bound;
    // By key code; a key leaves when it is seen up or released by a chord.
    std::map<unsigned int, SeenDown> seenDown;
};
