// What the Settings window costs the GUI thread as the recordings folder
// grows: opening it (three times), showing and scrolling the Recordings tab,
// one save, one delete and "Clear All". A 1 ms timer on the GUI thread
// measures the longest gap between its ticks during each step.
//
// Run by hand: bench_settings_recordings_stall [entries]
// Without an argument it runs itself once for 1,000, 10,000 and 50,000.
#include "core/config/AppConfig.h"
#include "recording/RecordingManager.h"
#include "recording/RecordingsIndex.h"
#include "settings/SettingsView.h"
#include "settings/SettingsViewModel.h"
#include "settings/recordings/RecordingsTableModel.h"
#include "settings/tabs/RecordingsTab.h"

#include "ResidentMemory.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QMessageBox>
#include <QProcess>
#include <QPushButton>
#include <QTableView>
#include <QTemporaryDir>
#include <QTimer>
#include <QToolButton>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <vector>

namespace {

// The longest gap between ticks of a 1 ms timer since the last reset.
class StallMeter {
public:
    StallMeter()
    {
        ticker.setTimerType(Qt::PreciseTimer);
        ticker.setInterval(1);
        QObject::connect(&ticker, &QTimer::timeout, [this] { worst = std::max(worst, sinceTick.restart()); });
        sinceTick.start();
        ticker.start();
    }
    void reset()
    {
        worst = 0;
        sinceTick.restart();
    }
    qint64 worstMs() const { return std::max(worst, sinceTick.elapsed()); }

private:
    QTimer ticker;
    QElapsedTimer sinceTick;
    qint64 worst = 0;
};

// Pumps events until `done` holds; false after a minute.
bool pumpUntil(const std::function<bool()>& done)
{
    QElapsedTimer timer;
    timer.start();
    while (!done()) {
        if (timer.elapsed() > 60000)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    }
    return true;
}

void pumpFor(int ms)
{
    QElapsedTimer timer;
    timer.start();
    while (timer.elapsed() < ms)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
}

void writeRecordings(const QString& folder, int count)
{
    QDir().mkpath(folder);
    QList<RecordingMetadata> entries;
    const double now = RecordingMetadata::timestampFrom(QDateTime::currentDateTime());
    for (int i = 0; i < count; ++i) {
        RecordingMetadata metadata;
        metadata.filename = QStringLiteral("recording_bench_%1.wav").arg(i, 6, 10, QLatin1Char('0'));
        metadata.timestamp = now - 60.0 * (count - i);
        metadata.duration = 2.4;
        metadata.sampleRate = 16000;
        metadata.transcription = QStringLiteral("a typical dictated sentence of a dozen words or so, number %1").arg(i);
        metadata.modelUsed = QStringLiteral("large-v3-turbo-q5_0");
        metadata.fileSize = 4;
        QFile file(folder + QLatin1Char('/') + metadata.filename);
        if (file.open(QIODevice::WriteOnly))
            file.write("RIFF");
        entries.append(metadata);
    }
    QString error;
    RecordingsIndex::write(folder + QStringLiteral("/metadata.json"), entries, error);
}

struct Step {
    qint64 elapsedMs = 0;
    qint64 worstStallMs = 0;
};

Step timed(StallMeter& meter, const std::function<void()>& start, const std::function<bool()>& done)
{
    meter.reset();
    QElapsedTimer timer;
    timer.start();
    start();
    if (!pumpUntil(done))
        std::printf("  (step did not finish within a minute)\n");
    return {timer.elapsed(), meter.worstMs()};
}

SettingsRecordingsTabView* recordingsTab(SettingsView& view)
{
    return qobject_cast<SettingsRecordingsTabView*>(view.page(SettingsTab::recordings));
}

int runOnce(int entries)
{
    RecordingManager& store = RecordingManager::shared();
    store.setIsSaveEnabled(true);
    store.setAutoDeleteAfterDays(int64_t{1} << 20);
    store.setMaxStorageSizeMB(int64_t{1} << 30);
    writeRecordings(store.recordingsDirectory(), entries);
    store.waitForPendingWork();

    StallMeter meter;
    std::printf("%d recordings, resident %ld MiB before opening Settings\n", entries, residentKiB() / 1024);
    for (int opening = 1; opening <= 3; ++opening) {
        auto* view = new SettingsView;
        const Step open = timed(
            meter,
            [&] {
                view->show();
                view->reload();
                view->setSelectedTab(SettingsTab::recordings);
            },
            [&] { return recordingsTab(*view)->tableModel()->rowCount() == entries; });
        meter.reset();
        QTableView* table = recordingsTab(*view)->table();
        table->scrollToBottom();
        pumpFor(50);
        table->scrollToTop();
        pumpFor(50);
        const qint64 scrollStall = meter.worstMs();
        view->close();
        delete view;
        pumpFor(200);
        std::printf("  opening %d: rows shown after %5lld ms, longest stall %4lld ms; scrolling: %3lld ms; "
                    "resident after closing %ld MiB\n",
            opening, static_cast<long long>(open.elapsedMs), static_cast<long long>(open.worstStallMs),
            static_cast<long long>(scrollStall), residentKiB() / 1024);
    }

    SettingsView view;
    view.show();
    view.reload();
    view.setSelectedTab(SettingsTab::recordings);
    SettingsRecordingsTabView* tab = recordingsTab(view);
    RecordingsTableModel* rows = tab->tableModel();
    pumpUntil([&] { return rows->rowCount() == entries; });

    const Step save = timed(
        meter,
        [&] {
            store.saveRecording(std::vector<float>(38400, 0.1f), 16000, QStringLiteral("one more"),
                QStringLiteral("large-v3-turbo-q5_0"));
        },
        [&] { return rows->rowCount() == entries + 1; });
    const Step remove = timed(
        meter,
        [&] {
            tab->table()->selectRow(0);
            tab->deleteSelectedButton()->click();
        },
        [&] { return rows->rowCount() == entries; });
    const Step clear = timed(
        meter,
        [&] {
            tab->clearAllButton()->click();
            for (QAbstractButton* button : tab->clearConfirmation()->buttons()) {
                if (button->text() == QStringLiteral("Clear All"))
                    button->click();
            }
        },
        [&] { return rows->rowCount() == 0; });
    std::printf("  save listed after %4lld ms (stall %3lld ms); delete one %4lld ms (stall %3lld ms); "
                "Clear All %6lld ms (stall %3lld ms)\n",
        static_cast<long long>(save.elapsedMs), static_cast<long long>(save.worstStallMs),
        static_cast<long long>(remove.elapsedMs), static_cast<long long>(remove.worstStallMs),
        static_cast<long long>(clear.elapsedMs), static_cast<long long>(clear.worstStallMs));
    store.waitForPendingWork();
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc < 2) {
        for (const char* size : {"1000", "10000", "50000"}) {
            QProcess child;
            child.setProcessChannelMode(QProcess::ForwardedChannels);
            child.start(QString::fromLocal8Bit(argv[0]), {QString::fromLatin1(size)});
            child.waitForFinished(-1);
        }
        return 0;
    }
    QTemporaryDir home;
    qputenv("XDG_CONFIG_HOME", (home.path() + "/config").toUtf8());
    qputenv("XDG_DATA_HOME", (home.path() + "/data").toUtf8());
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") && qEnvironmentVariableIsEmpty("DISPLAY"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    return runOnce(std::max(1, atoi(argv[1])));
}
