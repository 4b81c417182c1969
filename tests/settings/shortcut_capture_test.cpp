#include "settings/shortcuts/KeyboardShortcutCaptureView.h"
#include "settings/shortcuts/ShortcutCaptureDecision.h"
#include "settings/shortcuts/ShortcutCaptureHost.h"

#include "core/input/KeyboardShortcutManager.h"
#include "core/input/QtKeyCodes.h"
#include "platform/x11/X11KeyCodes.h"
#include "support/SettingsReset.h"

#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QShortcut>
#include <QSignalSpy>
#include <QTest>

#include <gtest/gtest.h>

#include <memory>

namespace {

constexpr uint32_t shift = KeyboardShortcut::shiftFlag;
constexpr uint32_t control = KeyboardShortcut::controlFlag;
constexpr uint32_t option = KeyboardShortcut::optionFlag;
constexpr uint32_t command = KeyboardShortcut::commandFlag;

TEST(ShortcutCaptureDecision, KeysCompleteWithTheModifiersHeld)
{
    ShortcutCaptureDecision decision;
    EXPECT_EQ(decision.keyPressed(Qt::Key_A, Qt::NoModifier), (KeyboardShortcut{0, 0}));
    // The shipped defaults can be captured again.
    EXPECT_EQ(
        decision.keyPressed(Qt::Key_W, Qt::AltModifier | Qt::ShiftModifier), (KeyboardShortcut{13, option | shift}));
    EXPECT_EQ(
        decision.keyPressed(Qt::Key_W, Qt::AltModifier | Qt::MetaModifier), (KeyboardShortcut{13, option | command}));
    // Escape is a key like any other; shifted symbols name their key.
    EXPECT_EQ(decision.keyPressed(Qt::Key_Escape, Qt::NoModifier), (KeyboardShortcut{53, 0}));
    EXPECT_EQ(decision.keyPressed(Qt::Key_Exclam, Qt::ShiftModifier | Qt::ControlModifier),
        (KeyboardShortcut{18, shift | control}));
    // The keypad's digits are their own keys and the keypad bit is dropped.
    EXPECT_EQ(decision.keyPressed(Qt::Key_1, Qt::KeypadModifier), (KeyboardShortcut{83, 0}));
}

TEST(ShortcutCaptureDecision, ModifiersAloneCompleteOnReleaseOfAPair)
{
    ShortcutCaptureDecision decision;
    EXPECT_FALSE(decision.keyPressed(Qt::Key_Alt, Qt::NoModifier));
    // One modifier released alone: still armed.
    EXPECT_FALSE(decision.keyReleased(Qt::Key_Alt, Qt::AltModifier));
    EXPECT_FALSE(decision.keyPressed(Qt::Key_Alt, Qt::NoModifier));
    EXPECT_FALSE(decision.keyPressed(Qt::Key_Shift, Qt::AltModifier));
    // Whether the release names the released key or not, the pair counts.
    EXPECT_EQ(decision.keyReleased(Qt::Key_Shift, Qt::AltModifier),
        (KeyboardShortcut{ShortcutCaptureDecision::modifierOnlyKeyCode, option | shift}));
    EXPECT_EQ(decision.keyReleased(Qt::Key_Control, Qt::AltModifier | Qt::ControlModifier | Qt::MetaModifier),
        (KeyboardShortcut{ShortcutCaptureDecision::modifierOnlyKeyCode, option | control | command}));
    // Caps Lock is not counted.
    EXPECT_FALSE(decision.keyReleased(Qt::Key_CapsLock, Qt::ShiftModifier));
}

TEST(ShortcutCaptureDecision, UnmappedKeysAreIgnoredAndSpoilTheModifierChord)
{
    ShortcutCaptureDecision decision;
    EXPECT_FALSE(decision.keyPressed(Qt::Key_VolumeUp, Qt::AltModifier | Qt::ShiftModifier));
    EXPECT_FALSE(decision.keyReleased(Qt::Key_Shift, Qt::AltModifier | Qt::ShiftModifier));
    EXPECT_FALSE(decision.keyReleased(Qt::Key_Alt, Qt::AltModifier));
    // Once every modifier is up, a new chord counts again.
    EXPECT_TRUE(decision.keyReleased(Qt::Key_Shift, Qt::AltModifier | Qt::ShiftModifier));
    EXPECT_EQ(ShortcutCaptureDecision::countModifiers(KeyboardShortcut::capsLockFlag | 0x800000), 0);
    EXPECT_EQ(ShortcutCaptureDecision::countModifiers(shift | control | option | command), 4);
}

// The Qt table and the X11 table must name the same key for a code.
TEST(QtKeyCodes, AgreesWithTheDesktopKeyTable)
{
    // Unshifted printable keys: Qt's key is the upper-case character and
    // the keysym the character itself.
    const QString printable = QStringLiteral("abcdefghijklmnopqrstuvwxyz0123456789-=[]\\;',./` ");
    for (const QChar character : printable) {
        const int key = character.toUpper().unicode();
        const auto code = QtKeyCodes::virtualKeyCode(key);
        ASSERT_TRUE(code) << "Qt key " << key;
        EXPECT_EQ(X11KeyCodes::keysymForKeyCode(*code), static_cast<unsigned long>(character.unicode()))
            << "Qt key " << key;
    }
    // Shifted symbols name the key they are printed on.
    EXPECT_EQ(QtKeyCodes::virtualKeyCode(Qt::Key_At), QtKeyCodes::virtualKeyCode(Qt::Key_2));
    EXPECT_EQ(QtKeyCodes::virtualKeyCode(Qt::Key_Question), QtKeyCodes::virtualKeyCode(Qt::Key_Slash));
    EXPECT_EQ(X11KeyCodes::keysymForKeyCode(*QtKeyCodes::virtualKeyCode(Qt::Key_Escape)), 0xff1bUL);
    EXPECT_EQ(X11KeyCodes::keysymForKeyCode(*QtKeyCodes::virtualKeyCode(Qt::Key_F1)), 0xffbeUL);
    EXPECT_EQ(X11KeyCodes::keysymForKeyCode(*QtKeyCodes::virtualKeyCode(Qt::Key_Left)), 0xff51UL);
    EXPECT_EQ(X11KeyCodes::keysymForKeyCode(*QtKeyCodes::virtualKeyCode(Qt::Key_Enter, true)), 0xff8dUL);
}

class RecordingHost : public ShortcutCaptureHost {
public:
    void setGlobalShortcutsSuspended(bool suspended) override { calls.append(suspended); }
    bool refuseTakenShortcut(const KeyboardShortcut& shortcut) override
    {
        if (!heldElsewhere.contains(shortcut))
            return false;
        refused.append(shortcut);
        return true;
    }
    bool isShortcutTaken(const KeyboardShortcut& shortcut) const override { return marked.contains(shortcut); }
    QList<bool> calls;
    QList<KeyboardShortcut> heldElsewhere;
    QList<KeyboardShortcut> refused;
    QList<KeyboardShortcut> marked;
};

class CaptureViewTest : public DefaultsTest {
protected:
    void SetUp() override
    {
        DefaultsTest::SetUp();
        KeyboardShortcutManager::shared().loadShortcuts();
        window = std::make_unique<QWidget>();
        field = new QLineEdit(window.get());
        row = makeRow(ShortcutAction::quickTranscribe);
        window->show();
        field->setFocus();
    }
    void TearDown() override
    {
        window.reset();
        KeyboardShortcutManager::shared().resetToDefaults();
        DefaultsTest::TearDown();
    }

    KeyboardShortcutCaptureView* makeRow(ShortcutAction action)
    {
        auto& manager = KeyboardShortcutManager::shared();
        return new KeyboardShortcutCaptureView(
            action, [&manager, action] { return manager.shortcut(action); },
            [&manager, action](const KeyboardShortcut& value) { manager.updateShortcut(action, value); }, &host,
            window.get());
    }

    KeyboardShortcut stored(ShortcutAction action) const { return KeyboardShortcutManager::shared().shortcut(action); }

    RecordingHost host;
    std::unique_ptr<QWidget> window;
    QLineEdit* field = nullptr;
    KeyboardShortcutCaptureView* row = nullptr;
};

TEST_F(CaptureViewTest, AKeyPressAnywhereBecomesTheShortcutAndNeverReachesTheWindow)
{
    EXPECT_EQ(row->captureButton()->text(), QStringLiteral("Alt+W"));
    QTest::mouseClick(row->captureButton(), Qt::LeftButton);
    EXPECT_TRUE(row->isCapturing());
    EXPECT_TRUE(row->cancelButton()->isVisibleTo(window.get()));
    EXPECT_EQ(host.calls, QList<bool>{true});

    // An application shortcut on the same keys does not fire either.
    QShortcut appShortcut(QKeySequence(Qt::CTRL | Qt::Key_K), window.get());
    QSignalSpy fired(&appShortcut, &QShortcut::activated);
    QTest::keyClick(field, Qt::Key_K, Qt::ControlModifier);
    EXPECT_EQ(fired.count(), 0);
    EXPECT_TRUE(field->text().isEmpty());
    EXPECT_EQ(stored(ShortcutAction::quickTranscribe), (KeyboardShortcut{40, control}));
    EXPECT_FALSE(row->isCapturing());
    EXPECT_EQ(row->captureButton()->text(), QStringLiteral("Ctrl+K"));
    EXPECT_EQ(host.calls, (QList<bool>{true, false}));

    // Disarmed: keys reach the field again.
    QTest::keyClick(field, Qt::Key_A);
    EXPECT_EQ(field->text(), QStringLiteral("a"));
}

TEST_F(CaptureViewTest, EscapeIsStoredAndALoneModifierPassesOn)
{
    row->startCapturing();
    QTest::keyPress(field, Qt::Key_Alt);
    QTest::keyRelease(field, Qt::Key_Alt, Qt::AltModifier);
    EXPECT_TRUE(row->isCapturing());
    QTest::keyClick(field, Qt::Key_Escape);
    EXPECT_FALSE(row->isCapturing());
    EXPECT_EQ(stored(ShortcutAction::quickTranscribe), (KeyboardShortcut{53, 0}));

    row->startCapturing();
    QTest::keyPress(field, Qt::Key_Alt);
    QTest::keyPress(field, Qt::Key_Shift, Qt::AltModifier);
    EXPECT_TRUE(row->isCapturing());
    QTest::keyRelease(field, Qt::Key_Shift, Qt::AltModifier | Qt::ShiftModifier);
    EXPECT_EQ(stored(ShortcutAction::quickTranscribe), (KeyboardShortcut{0xFFFF, option | shift}));
    EXPECT_EQ(row->captureButton()->text(), QStringLiteral("Alt+Shift"));
}

TEST_F(CaptureViewTest, SecondClickAndCancelEndWithoutChange)
{
    const KeyboardShortcut before = stored(ShortcutAction::quickTranscribe);
    QTest::mouseClick(row->captureButton(), Qt::LeftButton);
    QTest::mouseClick(row->captureButton(), Qt::LeftButton);
    EXPECT_FALSE(row->isCapturing());
    QTest::mouseClick(row->captureButton(), Qt::LeftButton);
    QTest::mouseClick(row->cancelButton(), Qt::LeftButton);
    EXPECT_FALSE(row->isCapturing());
    EXPECT_FALSE(row->cancelButton()->isVisibleTo(window.get()));
    EXPECT_EQ(row->captureButton()->text(), QStringLiteral("Alt+W"));
    EXPECT_EQ(stored(ShortcutAction::quickTranscribe), before);
    EXPECT_EQ(host.calls, (QList<bool>{true, false, true, false}));
}

TEST_F(CaptureViewTest, OneRowIsArmedAtATimeAndConflictsExchange)
{
    KeyboardShortcutCaptureView* other = makeRow(ShortcutAction::continuousRecording);
    row->startCapturing();
    other->startCapturing();
    EXPECT_FALSE(row->isCapturing());
    EXPECT_TRUE(other->isCapturing());
    EXPECT_EQ(host.calls, (QList<bool>{true, false, true}));

    // Taking the first action's shortcut hands it this one's old shortcut.
    QTest::keyClick(field, Qt::Key_W, Qt::AltModifier);
    EXPECT_EQ(stored(ShortcutAction::continuousRecording), (KeyboardShortcut{13, option}));
    EXPECT_EQ(stored(ShortcutAction::quickTranscribe), (KeyboardShortcut{13, option | command}));
}

TEST_F(CaptureViewTest, AShortcutAnotherProgramHoldsIsRefusedAndMarked)
{
    const KeyboardShortcut ctrlK{40, control};
    host.heldElsewhere = {ctrlK};
    row->startCapturing();
    QTest::keyClick(field, Qt::Key_K, Qt::ControlModifier);
    EXPECT_FALSE(row->isCapturing());
    EXPECT_EQ(host.refused, QList<KeyboardShortcut>{ctrlK});
    EXPECT_EQ(stored(ShortcutAction::quickTranscribe), (KeyboardShortcut{13, option})) << "the old one is kept";
    EXPECT_EQ(row->captureButton()->text(), QStringLiteral("Alt+W"));
    EXPECT_EQ(host.calls, (QList<bool>{true, false}));
    EXPECT_FALSE(row->takenLabel()->isVisibleTo(window.get()));

    // The stored shortcut that could not be armed is marked, in words a
    // screen reader reads with the button.
    host.marked = {KeyboardShortcut{13, option}};
    row->refresh();
    EXPECT_TRUE(row->takenLabel()->isVisibleTo(window.get()));
    EXPECT_EQ(row->takenLabel()->text(), QStringLiteral("Taken by another program"));
    EXPECT_TRUE(row->captureButton()->accessibleDescription().startsWith(QStringLiteral("Taken by another program")));
    KeyboardShortcutManager::shared().updateShortcut(ShortcutAction::quickTranscribe, KeyboardShortcut{14, option});
    row->refresh();
    EXPECT_FALSE(row->takenLabel()->isVisibleTo(window.get()));
}

TEST_F(CaptureViewTest, HidingLeavingOrDestroyingAnArmedRowResumesTheGlobalShortcuts)
{
    row->startCapturing();
    window->hide();
    EXPECT_FALSE(row->isCapturing());
    EXPECT_EQ(host.calls, (QList<bool>{true, false}));

    window->show();
    row->startCapturing();
    emit qApp->applicationStateChanged(Qt::ApplicationInactive);
    EXPECT_FALSE(row->isCapturing());

    row->startCapturing();
    delete row;
    EXPECT_EQ(host.calls, (QList<bool>{true, false, true, false, true, false}));
    const KeyboardShortcut before = stored(ShortcutAction::quickTranscribe);
    QTest::keyClick(field, Qt::Key_Q, Qt::ControlModifier);
    EXPECT_EQ(stored(ShortcutAction::quickTranscribe), before);
}

} // namespace
