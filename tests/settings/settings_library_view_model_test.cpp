#include "settings/SettingsViewModel.h"

#include "base/Defaults.h"
#include "core/config/AppConfig.h"
#include "recording/RecordingManager.h"
#include "settings/LibraryFixture.h"
#include "settings/recordings/RecordingsCatalog.h"
#include "support/FakeWorkspace.h"
#include "support/Patience.h"

#include <QSignalSpy>
#include <QTest>

#include <algorithm>

#include <gtest/gtest.h>

namespace {

using RecordingInfo = SettingsViewModel::RecordingInfo;

// The list is read off the GUI thread: load, then wait for the listing.
void loadAndWait(SettingsViewModel& model)
{
    model.loadInitialData();
    ASSERT_TRUE(QTest::qWaitFor([] { return !RecordingsCatalog::shared().isLoading(); }, 10000));
}

// Lets the store's queue finish and its reports reach the main thread.
void settle()
{
    RecordingManager::shared().waitForPendingWork();
    QCoreApplication::processEvents();
}

class SettingsViewModelTest : public SettingsFixture { };

QStringList models(const QList<RecordingInfo>& rows)
{
    QStringList list;
    for (const RecordingInfo& row : rows)
        list.append(row.model);
    return list;
}

TEST_F(SettingsViewModelTest, BeforeLoadingOnlyTheSwitchesHoldStoredValues)
{
    AppConfig::setEnableStreamingMode(true);
    AppConfig::setWhisperDictionaryWords({QStringLiteral("b"), QStringLiteral("a")});
    writeFile(pathOf("x_2020_m.wav"), "RIFF");
    writeFile(pathOf("x_2020_m.txt"), "x");
    SettingsViewModel model;
    EXPECT_TRUE(model.enableStreamingMode());
    EXPECT_TRUE(model.dictionaryWords().isEmpty());
    EXPECT_TRUE(model.recordings().isEmpty());
    // Nothing listed yet: nothing to clear, whatever is on disk.
    model.clearAllRecordings();
    EXPECT_TRUE(QFile::exists(pathOf("x_2020_m.wav")));

    // Loading sorts what is read and writes nothing back.
    loadAndWait(model);
    EXPECT_EQ(model.dictionaryWords(), (QStringList{"a", "b"}));
    EXPECT_EQ(AppConfig::whisperDictionaryWords(), (QStringList{"b", "a"}));
}

TEST_F(SettingsViewModelTest, AddingWordsTrimsSortsPlainlyAndSkipsDuplicates)
{
    SettingsViewModel model;
    loadAndWait(model);
    QSignalSpy changes(&model, &SettingsViewModel::dictionaryWordsChanged);

    model.addDictionaryWord(QStringLiteral("  Kubernetes \n"));
    EXPECT_EQ(AppConfig::whisperDictionaryWords(), QStringList{"Kubernetes"});
    model.addDictionaryWord(QStringLiteral("alpha"));
    model.addDictionaryWord(QStringLiteral("Zeta"));
    model.addDictionaryWord(QStringLiteral("kubernetes"));
    const QStringList expected{"Kubernetes", "Zeta", "alpha", "kubernetes"};
    EXPECT_EQ(model.dictionaryWords(), expected);
    EXPECT_EQ(AppConfig::whisperDictionaryWords(), expected);
    EXPECT_EQ(changes.count(), 4);

    // Blank, empty and present words change nothing and write nothing.
    Defaults::remove(QStringLiteral("WhisperDictionaryWords"));
    model.addDictionaryWord(QStringLiteral("   "));
    model.addDictionaryWord(QString());
    model.addDictionaryWord(QStringLiteral(" alpha"));
    EXPECT_EQ(model.dictionaryWords(), expected);
    EXPECT_FALSE(Defaults::contains(QStringLiteral("WhisperDictionaryWords")));
    EXPECT_EQ(changes.count(), 4);
}

TEST_F(SettingsViewModelTest, RemovingComparesExactlyAndAlwaysWrites)
{
    AppConfig::setWhisperDictionaryWords({QStringLiteral("beta"), QStringLiteral("alpha"), QStringLiteral("alpha")});
    SettingsViewModel model;
    loadAndWait(model);

    model.removeDictionaryWord(QStringLiteral(" alpha"));
    EXPECT_EQ(model.dictionaryWords(), (QStringList{"alpha", "alpha", "beta"}));
    // Written all the same, now sorted.
    EXPECT_EQ(AppConfig::whisperDictionaryWords(), (QStringList{"alpha", "alpha", "beta"}));

    model.removeDictionaryWord(QStringLiteral("alpha"));
    EXPECT_EQ(model.dictionaryWords(), QStringList{"beta"});
    EXPECT_EQ(AppConfig::whisperDictionaryWords(), QStringList{"beta"});
}

TEST_F(SettingsViewModelTest, SwitchesStoreAtOnceAndResetTouchesOnlyTheAdvancedPair)
{
    SettingsViewModel model;
    QSignalSpy saving(&model, &SettingsViewModel::enableRecordingSavingChanged);
    model.updateEnableRecordingSaving(true);
    model.updateEnableRecordingSaving(true); // equal values are announced too
    model.updateShowInFinderAfterSaving(true);
    model.updateEnableStreamingMode(true);
    model.updateEnableVoiceActivityDetection(false);
    EXPECT_EQ(saving.count(), 2);
    EXPECT_TRUE(AppConfig::enableRecordingSaving());
    EXPECT_TRUE(AppConfig::showInFinderAfterSaving());
    EXPECT_TRUE(AppConfig::enableStreamingMode());
    EXPECT_FALSE(AppConfig::enableVoiceActivityDetection());

    AppConfig::setWhisperDictionaryWords({QStringLiteral("kept")});
    model.saveAdvancedSettings();
    EXPECT_TRUE(AppConfig::enableStreamingMode());

    model.resetToDefaults();
    EXPECT_FALSE(model.enableStreamingMode());
    EXPECT_TRUE(model.enableVoiceActivityDetection());
    EXPECT_FALSE(AppConfig::enableStreamingMode());
    EXPECT_TRUE(AppConfig::enableVoiceActivityDetection());
    EXPECT_TRUE(AppConfig::enableRecordingSaving());
    EXPECT_TRUE(AppConfig::showInFinderAfterSaving());
    EXPECT_EQ(AppConfig::whisperDictionaryWords(), QStringList{"kept"});
}

TEST_F(SettingsViewModelTest, ListsIndexedRecordingsAndSidecarFilesNewestFirst)
{
    const QDateTime now = QDateTime::currentDateTime();
    writeIndexed({entry("recording_a.wav", now.addDays(-2), "older", "large-v3"),
        entry("recording_b.wav", now.addSecs(60), "newest")});
    // Another program's files, listed by their text file.
    writeFile(pathOf("meeting_2024-05-01_base.wav"), "RIFF");
    writeFile(pathOf("meeting_2024-05-01_base.txt"), "");
    writeFile(pathOf("nested/deeper/x__y__z.wav"), "RIFF");
    writeFile(pathOf("nested/deeper/x__y__z.txt"), "deep text");
    writeFile(pathOf("take_one.wav"), "RIFF");
    writeFile(pathOf("take_one.txt"), "short name");
    // Not listed: no text file, a capital extension, invalid UTF-8, a
    // folder named like a recording, an indexed file that is gone.
    writeFile(pathOf("lonely_2024_x.wav"), "RIFF");
    writeFile(pathOf("upper_2024_x.WAV"), "RIFF");
    writeFile(pathOf("upper_2024_x.txt"), "text");
    writeFile(pathOf("bad_2024_x.wav"), "RIFF");
    writeFile(pathOf("bad_2024_x.txt"), QByteArray("\xff\xfe oops", 7));
    QDir(folder).mkpath("folder_2024_x.wav");
    writeFile(pathOf("folder_2024_x.txt"), "text");
    // A text file beside an indexed recording does not replace the index.
    writeFile(pathOf("recording_b.txt"), "sidecar");

    SettingsViewModel model;
    loadAndWait(model);
    const QList<RecordingInfo> rows = model.recordings();
    ASSERT_EQ(rows.size(), 5) << models(rows).join(",").toStdString();
    EXPECT_EQ(rows.first().transcription, "newest");
    EXPECT_EQ(rows.first().model, "large-v3-turbo-q5_0");
    EXPECT_EQ(rows.first().filePath, pathOf("recording_b.wav"));
    EXPECT_EQ(rows.last().transcription, "older");
    EXPECT_EQ(rows.last().model, "large-v3");
    for (int i = 1; i < rows.size(); ++i)
        EXPECT_GE(rows.at(i - 1).date, rows.at(i).date);

    QStringList found = models(rows.mid(1, 3));
    found.sort();
    EXPECT_EQ(found, (QStringList{"Unknown", "base", "z"}));
    for (const RecordingInfo& row : rows.mid(1, 3)) {
        if (row.model == "base") {
            EXPECT_EQ(row.transcription, "");
        } else if (row.model == "z") {
            EXPECT_EQ(row.transcription, "deep text");
        }
    }

    // Opening again while the index is unchanged reads nothing and keeps
    // the very same rows (no copy per opening).
    SettingsViewModel again;
    loadAndWait(again);
    EXPECT_EQ(again.recordings().constData(), rows.constData());
}

TEST_F(SettingsViewModelTest, DeletingKeepsTheIndexAndTheFolderConsistent)
{
    const QDateTime now = QDateTime::currentDateTime();
    writeIndexed({entry("recording_a.wav", now.addSecs(60), "a"), entry("recording_b.wav", now.addSecs(-5), "b")});
    writeFile(pathOf("recording_a.txt"), "stale sidecar");
    writeFile(pathOf("other_2024_m.wav"), "RIFF");
    writeFile(pathOf("other_2024_m.txt"), "other");
    writeFile(pathOf("extra_2024_n.wav"), "RIFF");
    writeFile(pathOf("extra_2024_n.txt"), "extra");

    SettingsViewModel model;
    loadAndWait(model);
    ASSERT_EQ(model.recordings().size(), 4);
    const RecordingInfo indexed = model.recordings().first();
    ASSERT_EQ(indexed.filePath, pathOf("recording_a.wav"));

    model.deleteRecording(indexed);
    ASSERT_TRUE(QTest::qWaitFor([&] { return model.recordings().size() == 3; }, 10000));
    EXPECT_FALSE(QFile::exists(pathOf("recording_a.wav")));
    EXPECT_TRUE(QTest::qWaitFor([&] { return !QFile::exists(pathOf("recording_a.txt")); }, 10000));
    EXPECT_EQ(indexNames(), QStringList{"recording_b.wav"});
    EXPECT_EQ(model.recordings().size(), 3);

    // A sidecar row whose audio file went away meanwhile stays listed. It
    // goes in one batch with a row that can go: when that one has left,
    // the batch's outcome is in.
    const auto rows = model.recordings();
    const auto withModel = [&](const QString& name) {
        return *std::find_if(rows.begin(), rows.end(), [&](const RecordingInfo& row) { return row.model == name; });
    };
    ASSERT_EQ(models(rows).count("m"), 1);
    ASSERT_EQ(models(rows).count("n"), 1);
    const RecordingInfo gone = withModel("m");
    QFile::remove(gone.filePath);
    model.deleteRecordings({gone, withModel("n")});
    ASSERT_TRUE(QTest::qWaitFor([&] { return !models(model.recordings()).contains("n"); }, Patience::reply));
    EXPECT_EQ(model.recordings().size(), 2);
    EXPECT_TRUE(models(model.recordings()).contains("m"));
    EXPECT_TRUE(QFile::exists(pathOf("other_2024_m.txt")));
}

TEST_F(SettingsViewModelTest, ARecordingThatCannotBeRemovedKeepsItsRowAndIndexEntry)
{
    writeIndexed({entry("recording_a.wav", QDateTime::currentDateTime(), "a")});
    SettingsViewModel model;
    loadAndWait(model);
    ASSERT_EQ(model.recordings().size(), 1);

    // The file is replaced by a folder of the same name: never removed.
    QFile::remove(pathOf("recording_a.wav"));
    QDir(folder).mkdir("recording_a.wav");
    writeFile(pathOf("recording_a.wav/inside"), "keep");
    model.clearAllRecordings();
    settle();
    EXPECT_EQ(model.recordings().size(), 1);
    EXPECT_EQ(indexNames(), QStringList{"recording_a.wav"});
    EXPECT_TRUE(QFile::exists(pathOf("recording_a.wav/inside")));
}

TEST_F(SettingsViewModelTest, ClearAllDeletesEveryListedRow)
{
    const QDateTime now = QDateTime::currentDateTime();
    writeIndexed({entry("recording_a.wav", now, "a"), entry("recording_b.wav", now.addSecs(-1), "b"),
        entry("recording_c.wav", now.addSecs(-2), "c")});
    QFile::remove(pathOf("recording_c.wav")); // by hand: no row, and its entry goes too
    writeFile(pathOf("x_2020_m.wav"), "RIFF");
    writeFile(pathOf("x_2020_m.txt"), "x");
    SettingsViewModel model;
    loadAndWait(model);
    ASSERT_EQ(model.recordings().size(), 3);
    model.clearAllRecordings();
    ASSERT_TRUE(QTest::qWaitFor([&] { return model.recordings().isEmpty(); }, 10000));
    EXPECT_TRUE(indexNames().isEmpty());
    EXPECT_EQ(QDir(folder).entryList(QDir::Files), QStringList{"metadata.json"});
}

TEST_F(SettingsViewModelTest, RevealsFilesAndOpensTheFolderCreatingItFirst)
{
    writeFile(pathOf("x_2020_m.wav"), "RIFF");
    writeFile(pathOf("x_2020_m.txt"), "x");
    auto workspace = std::make_shared<FakeWorkspace>();
    SettingsViewModel model;
    loadAndWait(model);
    model.openRecordingInFinder(model.recordings().first()); // no workspace yet: nothing happens
    model.setWorkspace(workspace);
    model.openRecordingInFinder(model.recordings().first());
    EXPECT_EQ(workspace->revealed, QStringList{pathOf("x_2020_m.wav")});

    QDir(folder).removeRecursively();
    model.openRecordingsFolder();
    EXPECT_TRUE(QFileInfo(folder).isDir());
    ASSERT_EQ(workspace->opened.size(), 1);
    EXPECT_EQ(workspace->opened.first(), QUrl::fromLocalFile(folder));

    // A missing folder lists nothing.
    QDir(folder).removeRecursively();
    loadAndWait(model);
    EXPECT_TRUE(model.recordings().isEmpty());
}

} // namespace
