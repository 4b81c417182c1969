#include "base/Defaults.h"
#include "core/input/KeyboardShortcutManager.h"
#include "support/SettingsReset.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSignalSpy>

namespace {

constexpr uint16_t kW = 13;
const KeyboardShortcut kOptionW{kW, KeyboardShortcut::optionFlag};
const KeyboardShortcut kOptionShiftW{kW, KeyboardShortcut::optionFlag | KeyboardShortcut::shiftFlag};
const KeyboardShortcut kOptionCommandW{kW, KeyboardShortcut::optionFlag | KeyboardShortcut::commandFlag};
const KeyboardShortcut kControlSpace{49, KeyboardShortcut::controlFlag};

class ShortcutStore : public DefaultsTest {
protected:
    KeyboardShortcutManager& manager = KeyboardShortcutManager::shared();

    void SetUp() override
    {
        DefaultsTest::SetUp();
        manager.loadShortcuts();
    }

    // Stores raw bytes as the settings value and reloads.
    void loadStored(const QVariant& value)
    {
        Defaults::setValue(KeyboardShortcutManager::userDefaultsKey, value);
        manager.loadShortcuts();
    }

    void expectDefaults()
    {
        for (ShortcutAction action : ShortcutAction::allCases())
            EXPECT_EQ(manager.shortcut(action), action.defaultShortcut()) << action.rawValue().toStdString();
        EXPECT_EQ(manager.shortcuts().size(), 3);
    }

    // The stored array as action name -> shortcut, order aside.
    static QMap<QString, KeyboardShortcut> storedPairs()
    {
        const QVariant stored = Defaults::value(KeyboardShortcutManager::userDefaultsKey);
        EXPECT_EQ(stored.typeId(), QMetaType::QByteArray);
        const QJsonArray array = QJsonDocument::fromJson(stored.toByteArray()).array();
        QMap<QString, KeyboardShortcut> pairs;
        for (qsizetype i = 0; i + 1 < array.size(); i += 2) {
            const QJsonObject object = array.at(i + 1).toObject();
            pairs.insert(array.at(i).toString(),
                KeyboardShortcut{static_cast<uint16_t>(object.value("keyCode").toInt()),
                    static_cast<uint32_t>(object.value("modifierFlags").toInteger())});
        }
        return pairs;
    }
};

} // namespace

TEST_F(ShortcutStore, NothingStoredGivesDefaultsAndWritesNothing)
{
    expectDefaults();
    EXPECT_EQ(manager.shortcut(ShortcutAction::quickTranscribe), kOptionW);
    EXPECT_FALSE(Defaults::contains(KeyboardShortcutManager::userDefaultsKey));
}

TEST_F(ShortcutStore, UnreadableValuesGiveDefaultsAndStayUntouched)
{
    const QList<QVariant> unreadable = {
        QByteArray("not json"),
        QByteArray(R"({"quickTranscribe":{"keyCode":49,"modifierFlags":262144}})"),
        QByteArray(R"(["quickTranscribe"])"),
        QByteArray(R"(["sneeze",{"keyCode":49,"modifierFlags":262144}])"),
        QByteArray(R"(["quickTranscribe",{"keyCode":49}])"),
        QByteArray(R"(["quickTranscribe",{"keyCode":65536,"modifierFlags":0}])"),
        QByteArray(R"(["quickTranscribe",{"keyCode":-1,"modifierFlags":0}])"),
        QByteArray(R"(["quickTranscribe",{"keyCode":49,"modifierFlags":4294967296}])"),
        QByteArray(R"(["quickTranscribe",{"keyCode":4.5,"modifierFlags":0}])"),
        QByteArray(R"(["quickTranscribe",{"keyCode":"49","modifierFlags":0}])"),
        QByteArray(R"(["quickTranscribe",{"keyCode":true,"modifierFlags":0}])"),
        QByteArray(R"([{"keyCode":49,"modifierFlags":0},"quickTranscribe"])"),
        QByteArray(R"(["quickTranscribe",{"keyCode":49,"modifierFlags":0}] trailing)"),
        QByteArray(),
        // The right text, but not stored as bytes.
        QString(R"(["quickTranscribe",{"keyCode":49,"modifierFlags":262144}])"),
        QVariant(12),
        QVariantList{QString("quickTranscribe")},
    };
    for (const QVariant& value : unreadable) {
        SCOPED_TRACE(value.toString().toStdString());
        loadStored(value);
        expectDefaults();
        EXPECT_EQ(Defaults::value(KeyboardShortcutManager::userDefaultsKey), value);
    }
}

TEST_F(ShortcutStore, StoredPairsOverrideAndMissingActionsGetDefaults)
{
    loadStored(QByteArray(R"(["continuousRecording",{"keyCode":49,"modifierFlags":262144,"extra":1}])"));
    EXPECT_EQ(manager.shortcut(ShortcutAction::continuousRecording), kControlSpace);
    EXPECT_EQ(manager.shortcut(ShortcutAction::quickTranscribe), kOptionW);
    EXPECT_EQ(manager.shortcut(ShortcutAction::quickTranscribeWithWindow), kOptionShiftW);

    // A repeated action keeps its last shortcut; whole numbers written as
    // decimals still read.
    loadStored(QByteArray(R"(["quickTranscribe",{"keyCode":1,"modifierFlags":0},)"
                          R"("quickTranscribe",{"keyCode":2.0,"modifierFlags":4294967295}])"));
    EXPECT_EQ(manager.shortcut(ShortcutAction::quickTranscribe), (KeyboardShortcut{2, 0xFFFFFFFF}));
}

TEST_F(ShortcutStore, EventsResolveToTheirAction)
{
    EXPECT_EQ(manager.action(kW, KeyboardShortcut::optionFlag), ShortcutAction::quickTranscribe);
    EXPECT_EQ(manager.action(kW, kOptionCommandW.modifierFlags | 0x20), ShortcutAction::continuousRecording);
    EXPECT_FALSE(manager.action(kW, KeyboardShortcut::optionFlag | KeyboardShortcut::capsLockFlag));
    EXPECT_FALSE(manager.action(kW, 0));
}

TEST_F(ShortcutStore, AssigningATakenShortcutSwapsTheTwo)
{
    manager.updateShortcut(ShortcutAction::quickTranscribe, kOptionShiftW);
    EXPECT_EQ(manager.shortcut(ShortcutAction::quickTranscribe), kOptionShiftW);
    EXPECT_EQ(manager.shortcut(ShortcutAction::quickTranscribeWithWindow), kOptionW);
    EXPECT_EQ(manager.shortcut(ShortcutAction::continuousRecording), kOptionCommandW);

    const auto stored = storedPairs();
    EXPECT_EQ(stored.size(), 3);
    EXPECT_EQ(stored.value("quickTranscribe"), kOptionShiftW);
    EXPECT_EQ(stored.value("quickTranscribeWithWindow"), kOptionW);
    EXPECT_EQ(stored.value("continuousRecording"), kOptionCommandW);

    // What was stored reads back the same.
    manager.loadShortcuts();
    EXPECT_EQ(manager.shortcut(ShortcutAction::quickTranscribe), kOptionShiftW);
    EXPECT_EQ(manager.shortcut(ShortcutAction::quickTranscribeWithWindow), kOptionW);
}

TEST_F(ShortcutStore, StoredFormatIsACompactFlatArray)
{
    manager.updateShortcut(ShortcutAction::continuousRecording, kControlSpace);
    const QByteArray bytes = Defaults::value(KeyboardShortcutManager::userDefaultsKey).toByteArray();
    EXPECT_TRUE(bytes.contains(R"("continuousRecording",{"keyCode":49,"modifierFlags":262144})")) << bytes.data();
    EXPECT_FALSE(bytes.contains(' '));
    EXPECT_FALSE(bytes.contains('\n'));
}

TEST_F(ShortcutStore, AssigningTheSameShortcutStillStores)
{
    QSignalSpy changes(&manager, &KeyboardShortcutManager::shortcutsChanged);
    manager.updateShortcut(ShortcutAction::quickTranscribe, kOptionW);
    expectDefaults();
    EXPECT_EQ(storedPairs().size(), 3);
    // Published properties emit on every assignment, equal values included.
    EXPECT_EQ(changes.count(), 1);
}

TEST_F(ShortcutStore, DuplicateHoldersResolveInTableOrder)
{
    // Stored data can give two actions the same shortcut.
    loadStored(QByteArray(R"(["quickTranscribe",{"keyCode":49,"modifierFlags":262144},)"
                          R"("continuousRecording",{"keyCode":49,"modifierFlags":262144}])"));
    EXPECT_EQ(manager.action(49, KeyboardShortcut::controlFlag), ShortcutAction::quickTranscribe);
    manager.updateShortcut(ShortcutAction::quickTranscribeWithWindow, kControlSpace);
    // The first holder in table order takes over the old shortcut.
    EXPECT_EQ(manager.shortcut(ShortcutAction::quickTranscribe), kOptionShiftW);
    EXPECT_EQ(manager.shortcut(ShortcutAction::quickTranscribeWithWindow), kControlSpace);
}

TEST_F(ShortcutStore, ResetRestoresDefaultsAndPublishesEachStep)
{
    manager.updateShortcut(ShortcutAction::continuousRecording, kControlSpace);
    QSignalSpy changes(&manager, &KeyboardShortcutManager::shortcutsChanged);
    manager.resetToDefaults();
    expectDefaults();
    EXPECT_EQ(changes.count(), 4);
    EXPECT_EQ(storedPairs().value("continuousRecording"), kOptionCommandW);
}
