#include "core/input/ChordHoldRule.h"

#include <gtest/gtest.h>

#include <chrono>
#include <ostream>
#include <vector>

// Failures name the keys.
void PrintTo(const DownKey& key, std::ostream* out)
{
    *out << key.name.toStdString();
}

namespace {

using namespace std::chrono_literals;

const auto strayBound = std::chrono::duration_cast<ChordHoldRule::Clock::duration>(8s);
const ChordHoldRule::Clock::time_point firstLook{};
const DownKey rightAlt{108, QStringLiteral("Alt_R"), true};
const DownKey leftAlt{64, QStringLiteral("Alt_L"), true};
const DownKey letterW{25, QStringLiteral("letterW"), false};

ChordHoldUp keyboardShows(std::vector<DownKey> keys, bool grabHeld = false)
{
    return {grabHeld, std::move(keys)};
}

} // namespace

// Another client left Alt_R down; the user presses it again after the chord
// let go of it, and later a letter key is seen up and down again. A mark
// lasts only while its key stays down: each new press costs the bound and is
// named again.
TEST(ChordHoldRule, AKeyIsStuckOnlyWhileItStaysDownPastTheBound)
{
    ChordHoldRule rule(strayBound);
    EXPECT_TRUE(rule.look(keyboardShows({rightAlt, letterW}), firstLook).wait);
    EXPECT_TRUE(rule.look(keyboardShows({rightAlt, letterW}), firstLook + strayBound - 1ms).wait);
    ChordHoldRule::Verdict verdict = rule.look(keyboardShows({rightAlt, letterW}), firstLook + strayBound);
    EXPECT_FALSE(verdict.wait);
    EXPECT_EQ(verdict.stuck, (std::vector<DownKey>{rightAlt, letterW}));
    EXPECT_EQ(verdict.newlyStuck, (std::vector<DownKey>{rightAlt, letterW}));
    verdict = rule.look(keyboardShows({rightAlt, letterW}), firstLook + strayBound + 1s);
    EXPECT_FALSE(verdict.wait);
    EXPECT_TRUE(verdict.newlyStuck.empty()) << "named once while it stays down";

    // The chord released Alt_R, not the letter; the user holds Alt_R at the
    // next text.
    rule.chordWentOut(verdict.stuck);
    const auto pressedAgain = firstLook + strayBound + 20s;
    verdict = rule.look(keyboardShows({rightAlt, letterW}), pressedAgain);
    EXPECT_TRUE(verdict.wait);
    EXPECT_EQ(verdict.stuck, std::vector<DownKey>{letterW});
    EXPECT_TRUE(rule.look(keyboardShows({rightAlt, letterW}), pressedAgain + strayBound - 1ms).wait);
    verdict = rule.look(keyboardShows({rightAlt, letterW}), pressedAgain + strayBound);
    EXPECT_FALSE(verdict.wait);
    EXPECT_EQ(verdict.newlyStuck, std::vector<DownKey>{rightAlt});

    const auto letterUp = pressedAgain + strayBound + 1s;
    EXPECT_FALSE(rule.look(keyboardShows({rightAlt}), letterUp).wait);
    verdict = rule.look(keyboardShows({rightAlt, letterW}), letterUp + 1ms);
    EXPECT_TRUE(verdict.wait);
    verdict = rule.look(keyboardShows({rightAlt, letterW}), letterUp + 1ms + strayBound);
    EXPECT_FALSE(verdict.wait);
    EXPECT_EQ(verdict.newlyStuck, std::vector<DownKey>{letterW});
}

// While the user holds our shortcut, a key that is not stuck yet may be part
// of the hold: its strayBound starts again when the grab ends, and it is never
// taken as stuck on the way. A letter stuck before the hold stays stuck
// through it and holds nothing up after it.
TEST(ChordHoldRule, OurGrabRestartsTheBoundOnlyForKeysNotYetStuck)
{
    ChordHoldRule rule(strayBound);
    rule.look(keyboardShows({letterW}), firstLook);
    EXPECT_EQ(rule.look(keyboardShows({letterW}), firstLook + strayBound).newlyStuck, std::vector<DownKey>{letterW});

    // Alt goes down as the user reaches for the shortcut; the hold outlasts
    // the strayBound.
    const auto holdBegins = firstLook + strayBound + 1s;
    EXPECT_TRUE(rule.look(keyboardShows({leftAlt, letterW}), holdBegins).wait);
    ChordHoldRule::Verdict verdict = rule.look(keyboardShows({leftAlt, letterW}, true), holdBegins + 1ms);
    EXPECT_TRUE(verdict.wait);
    const auto holdEnds = holdBegins + 3 * strayBound;
    verdict = rule.look(keyboardShows({leftAlt, letterW}, true), holdEnds);
    EXPECT_TRUE(verdict.wait);
    EXPECT_TRUE(verdict.newlyStuck.empty());

    // The shortcut's key comes up first, Alt a moment later.
    verdict = rule.look(keyboardShows({leftAlt, letterW}), holdEnds + 1ms);
    EXPECT_TRUE(verdict.wait);
    EXPECT_EQ(verdict.stuck, std::vector<DownKey>{letterW});
    verdict = rule.look(keyboardShows({leftAlt, letterW}), holdEnds + strayBound - 1ms);
    EXPECT_TRUE(verdict.wait) << "Alt was part of the hold; its strayBound starts at the hold's end";
    EXPECT_TRUE(verdict.newlyStuck.empty());
    verdict = rule.look(keyboardShows({letterW}), holdEnds + strayBound);
    EXPECT_FALSE(verdict.wait);
    EXPECT_EQ(verdict.stuck, std::vector<DownKey>{letterW});
    EXPECT_TRUE(verdict.newlyStuck.empty());
}
