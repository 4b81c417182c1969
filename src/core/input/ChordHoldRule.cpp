#include "core/input/ChordHoldRule.h"

#include <algorithm>

ChordHoldRule::Verdict ChordHoldRule::look(const ChordHoldUp& holdUp, Clock::time_point now)
{
    std::erase_if(seenDown, [&holdUp](const auto& seen) {
        return std::find(holdUp.keys.begin(), holdUp.keys.end(), DownKey{seen.first, {}}) == holdUp.keys.end();
    });
    Verdict verdict;
    verdict.wait = holdUp.grabHeld;
    for (const DownKey& key : holdUp.keys) {
        SeenDown& seen = seenDown.try_emplace(key.code, SeenDown{now}).first->second;
        if (holdUp.grabHeld) {
            // A stuck key stays stuck through the user's hold; any other may
            // be part of it.
            if (!seen.stuck)
                seen.since = now;
            continue;
        }
        if (!seen.stuck && now - seen.since >= bound) {
            seen.stuck = true;
            verdict.newlyStuck.push_back(key);
        }
        if (seen.stuck)
            verdict.stuck.push_back(key);
        else
            verdict.wait = true;
    }
    return verdict;
}

void ChordHoldRule::chordWentOut(const std::vector<DownKey>& stuck)
{
    for (const DownKey& key : stuck)
        if (key.givesModifier)
            seenDown.erase(key.code);
}
