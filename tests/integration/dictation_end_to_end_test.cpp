// Dictations through the whole tool on a private desktop: the shortcut held
// through XTest, speech played into the virtual microphone, the text pasted
// into another application and the recording archived; and what becomes of
// them when the session's sound server goes away and comes back.
#include "app/LinuxPlatformServices.h"
#include "base/NotificationCenter.h"
#include "controller/AppDelegate.h"
#include "core/config/AppConfig.h"
#include "core/speech/ModelManager.h"
#include "recording/RecordingManager.h"
#include "settings/SettingsViewModel.h"
#include "settings/recordings/RecordingsTableModel.h"
#include "settings/tabs/RecordingsTab.h"
#include "support/FakeAlertPresenter.h"
#include "support/FakeSpeechRecognizer.h"
#include "support/LogCapture.h"
#include "support/PasteTarget.h"
#include "support/Patience.h"
#include "support/SettingsReset.h"
#include "support/VirtualMicrophone.h"
#include "support/WhisperTestModel.h"
#include "support/XTestKeyboard.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTableView>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QToolButton>

#include <gtest/gtest.h>

namespace {

class DictationEndToEnd : public DefaultsTest {
protected:
    void SetUp() override
    {
        DefaultsTest::SetUp();
        if (qEnvironmentVariableIsEmpty("DISPLAY") || qEnvironmentVariableIsEmpty("PULSE_SERVER"))
            GTEST_SKIP() << "needs the private test session";

        ASSERT_TRUE(WhisperTestModel::installActiveMicroModel());
        AppConfig::setEnableRecordingSaving(true);
        RecordingManager::shared().deleteAllRecordings();

        // The application's own desktop services; alerts must not block.
        services = makeLinuxPlatformServices();
        services.alertPresenter = alerts;
        services.speechRecognizer = std::make_shared<FakeSpeechRecognizer>();
    }

    void TearDown() override
    {
        RecordingManager::shared().waitForPendingWork();
        RecordingManager::shared().deleteAllRecordings();
        DefaultsTest::TearDown();
    }

    // Holds the push-to-talk shortcut while the speech plays into the
    // virtual microphone.
    static void dictate(AppDelegate& controller, const QString& speech)
    {
        XTestKeyboard keyboard;
        ASSERT_TRUE(keyboard.isOpen());
        keyboard.press("Alt_L");
        keyboard.press("w");
        ASSERT_TRUE(pumpUntil([&] { return controller.isRecording(); }, 5000))
            << "the shortcut did not start a recording";
        ASSERT_TRUE(VirtualMicrophone::play(speech));
        keyboard.release("w");
        keyboard.release("Alt_L");
    }

    std::shared_ptr<FakeAlertPresenter> alerts = std::make_shared<FakeAlertPresenter>();
    PlatformServices services;
};

} // namespace

TEST_F(DictationEndToEnd, HeldShortcutDictatesIntoAnotherApplicationAndArchivesTheTrimmedAudio)
{
    QTemporaryDir folder;
    const QString speech = folder.filePath("speech.wav");
    // The virtual microphone is quiet while nothing plays, so the silence the
    // trim should cut is played too.
    ASSERT_TRUE(VirtualMicrophone::writeSpeech(speech, "please write this sentence into the field", 2.5));

    PasteTarget target;
    ASSERT_TRUE(target.start(testToolPath("paste_target_qt")));
    ASSERT_TRUE(target.activate());

    LogCapture log;
    QStringList announced;
    NotificationObservation observation("TranscriptionUpdated",
        [&](const Notification& note) { announced.append(note.userInfo.value("text").toString()); });

    AppDelegate controller(services);
    controller.applicationDidFinishLaunching();
    pumpFor(300);

    ASSERT_NO_FATAL_FAILURE(dictate(controller, speech));

    ASSERT_TRUE(pumpUntil([&] { return !announced.isEmpty(); }, Patience::transcription))
        << log.systemLines().join("\n").toStdString();
    const QString text = announced.front();
    ASSERT_FALSE(text.trimmed().isEmpty());
    const QString expected = AppDelegate::sanitizeText(text + " ");
    QString pasted;
    EXPECT_TRUE(pumpUntil(
        [&] {
            pasted = target.text();
            return pasted == expected;
        },
        10000))
        << "pasted: " << pasted.toStdString() << "\nexpected: " << expected.toStdString();
    EXPECT_TRUE(pasted.endsWith(' '));
    EXPECT_FALSE(pasted.endsWith("  "));

    // The archive holds what was transcribed: the trimmed recording.
    const QStringList handedOn = log.systemLines().filter("[AppDelegate] About to transcribe ");
    ASSERT_EQ(handedOn.size(), 1);
    const int samples = handedOn.front().section(' ', 4, 4).toInt();
    const QStringList trims = log.systemLines().filter("[VAD] Conservative trim: ");
    ASSERT_EQ(trims.size(), 1);
    const QStringList lengths =
        trims.front().mid(QStringLiteral("[VAD] Conservative trim: ").size()).split(QString::fromUtf8(" → "));
    ASSERT_EQ(lengths.size(), 2);
    EXPECT_LT(lengths[1].chopped(1).toDouble(), lengths[0].chopped(1).toDouble() - 0.5);
    RecordingManager::shared().waitForPendingWork();
    const auto saved = RecordingManager::shared().getRecordings();
    ASSERT_EQ(saved.size(), 1);
    EXPECT_EQ(saved[0].transcription, text);
    EXPECT_DOUBLE_EQ(saved[0].duration, samples / 16000.0);
    const QFileInfo wav(QDir(RecordingManager::shared().recordingsDirectory()).filePath(saved[0].filename));
    ASSERT_TRUE(wav.exists());
    EXPECT_GE(wav.size(), static_cast<qint64>(samples) * 4);
    EXPECT_TRUE(QFileInfo::exists(QDir(RecordingManager::shared().recordingsDirectory()).filePath("metadata.json")));
    EXPECT_TRUE(alerts->shown.empty());

    controller.applicationWillTerminate();
}

// The sound server goes away during a dictation and comes back later (after
// a suspend, a crash). What was heard before it went is still transcribed;
// while it is away, a held shortcut is one failed press, logged with its
// reason, with one alert that stays up while the key is held; once it is
// back, the next dictation records from the new server.
TEST_F(DictationEndToEnd, TheSoundServerGoingAwayAndComingBackCostsNoDictation)
{
    QTemporaryDir folder;
    const QString first = folder.filePath("first.wav");
    const QString second = folder.filePath("second.wav");
    ASSERT_TRUE(VirtualMicrophone::writeSpeech(first, "the first sentence before the break", 0.5));
    ASSERT_TRUE(VirtualMicrophone::writeSpeech(second, "the second sentence after the break", 0.5));

    LogCapture log;
    QStringList announced;
    NotificationObservation observation("TranscriptionUpdated",
        [&](const Notification& note) { announced.append(note.userInfo.value("text").toString()); });
    AppDelegate controller(services);
    controller.applicationDidFinishLaunching();
    pumpFor(300);

    VirtualMicrophone::SoundServerRestart soundServer;
    XTestKeyboard keyboard;
    ASSERT_TRUE(keyboard.isOpen());
    keyboard.press("Alt_L");
    keyboard.press("w");
    ASSERT_TRUE(pumpUntil([&] { return controller.isRecording(); }, Patience::reply));
    ASSERT_TRUE(VirtualMicrophone::play(first));
    ASSERT_TRUE(soundServer.stop());
    keyboard.release("w");
    keyboard.release("Alt_L");
    ASSERT_TRUE(pumpUntil([&] { return announced.size() == 1; }, Patience::transcription))
        << log.systemLines().join("\n").toStdString();
    EXPECT_FALSE(announced[0].trimmed().isEmpty());

    // A modal alert runs an event loop of its own while it is up: here for
    // the 2 s the key stays held, whose repeats arrive meanwhile.
    alerts->whileShown = [](const Alert&) { pumpFor(2000); };
    keyboard.press("Alt_L");
    keyboard.press("w");
    ASSERT_TRUE(pumpUntil([&] { return !alerts->shown.empty(); }, Patience::reply));
    keyboard.release("w");
    keyboard.release("Alt_L");
    alerts->whileShown = nullptr;

    ASSERT_TRUE(soundServer.start());
    ASSERT_NO_FATAL_FAILURE(dictate(controller, second));
    ASSERT_TRUE(pumpUntil([&] { return announced.size() == 2; }, Patience::transcription))
        << log.systemLines().join("\n").toStdString();
    EXPECT_FALSE(announced[1].trimmed().isEmpty());

    ASSERT_EQ(alerts->shown.size(), 1u);
    EXPECT_EQ(alerts->shown[0].messageText, "Audio Recording Failed");
    const QStringList failures = log.systemLines().filter("[AppDelegate] Audio recording could not start: ");
    ASSERT_EQ(failures.size(), 1);
    EXPECT_TRUE(failures[0].contains("The sound server could not be reached")) << failures[0].toStdString();

    controller.applicationWillTerminate();
}

TEST_F(DictationEndToEnd, ADictationSavedWithSavingOnIsARowOfTheRecordingsTabUntilDeleted)
{
    QTemporaryDir folder;
    const QString speech = folder.filePath("note.wav");
    ASSERT_TRUE(VirtualMicrophone::writeSpeech(speech, "note this down for later", 0.5));

    AppDelegate controller(services);
    controller.applicationDidFinishLaunching();
    pumpFor(300);
    ASSERT_NO_FATAL_FAILURE(dictate(controller, speech));

    RecordingManager& store = RecordingManager::shared();
    ASSERT_TRUE(pumpUntil(
        [&] {
            store.waitForPendingWork();
            return !store.getRecordings().isEmpty();
        },
        Patience::transcription));
    const RecordingMetadata saved = store.getRecordings().front();
    const QString wav = QDir(store.recordingsDirectory()).filePath(saved.filename);

    SettingsViewModel model;
    model.loadInitialData();
    ASSERT_TRUE(pumpUntil([&] { return model.recordings().size() == 1; }, 10000));
    SettingsRecordingsTabView tab(&model);
    tab.show();
    EXPECT_EQ(tab.tableModel()->index(0, SettingsRecordingsTabView::transcriptionColumn).data().toString(),
        saved.transcription);
    tab.table()->selectRow(0);
    tab.deleteSelectedButton()->click();
    ASSERT_TRUE(pumpUntil([&] { return model.recordings().isEmpty(); }, 10000));
    EXPECT_FALSE(QFileInfo::exists(wav));
    EXPECT_TRUE(store.getRecordings().isEmpty());
    EXPECT_TRUE(tab.isEmptyStateShown());

    controller.applicationWillTerminate();
}
