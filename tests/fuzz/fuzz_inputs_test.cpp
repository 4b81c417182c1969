#include "targets/FuzzTargets.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>

#include <functional>

namespace {

// Every input the fuzzers ever broke a parser with, kept under
// tests/data/fuzz/<target>/, runs through that target again: a target
// aborts the test when its invariant breaks.
void replay(const char* target, const std::function<void(const QByteArray&)>& body)
{
    const QDir folder(qEnvironmentVariable("TALLOWIND_TEST_DATA") + QStringLiteral("/fuzz/") + QLatin1String(target));
    ASSERT_TRUE(folder.exists()) << folder.path().toStdString();
    const QStringList names = folder.entryList(QDir::Files, QDir::Name);
    for (const QString& name : names) {
        SCOPED_TRACE(name.toStdString());
        QFile file(folder.filePath(name));
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        body(file.readAll());
    }
}

} // namespace

TEST(FuzzInputs, RecordingsIndex)
{
    replay("recordings_index", FuzzTargets::recordingsIndex);
}

TEST(FuzzInputs, SettingsFormat)
{
    replay("settings_format", FuzzTargets::settingsFormat);
}

TEST(FuzzInputs, ShortcutTable)
{
    replay("shortcut_table", FuzzTargets::shortcutTable);
}

TEST(FuzzInputs, WavFile)
{
    replay("wav_file", FuzzTargets::wavFile);
}

TEST(FuzzInputs, ModelFile)
{
    replay("model_file", FuzzTargets::modelFile);
}
