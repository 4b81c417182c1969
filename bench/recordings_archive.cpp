// Prints what saving a dictation costs: the caller's share (it must stay
// tiny, text insertion waits for it) and the background share as the index
// grows.
#include "recording/RecordingManager.h"
#include "recording/RecordingsArchive.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

RecordingMetadata filler(int i)
{
    RecordingMetadata metadata;
    metadata.filename = QStringLiteral("filler_%1.wav").arg(i);
    metadata.timestamp = 700000000.0 + i;
    metadata.duration = 4.2;
    metadata.sampleRate = 16000;
    metadata.transcription = QStringLiteral("a typical dictated sentence of a dozen words or so, said %1").arg(i);
    metadata.modelUsed = QStringLiteral("large-v3-turbo-q5_0");
    metadata.fileSize = 268858;
    return metadata;
}

double msSince(const QElapsedTimer& timer)
{
    return timer.nsecsElapsed() / 1e6;
}

// The archive queue's share at one index size, as after a start: the
// start-up look at the folder, the first save after it, saves as the index
// grows, saves once the recordings fill the size limit (each removes the
// oldest), deleting one recording and deleting every recording as one batch
// (what "Clear All" asks for).
void backgroundCost(const QString& folder, int indexSize)
{
    int64_t limitMB = int64_t{1} << 40;
    RecordingsArchive::Environment environment;
    environment.directory = [folder] { return folder; };
    environment.maxStorageSizeMB = [&limitMB] { return limitMB; };
    environment.autoDeleteAfterDays = [] { return int64_t{1} << 20; };
    QList<RecordingMetadata> entries;
    QStringList names;
    QDir().mkpath(folder);
    for (int i = 0; i < indexSize; ++i) {
        entries.append(filler(i));
        names.append(entries.last().filename);
        // Sparse: as large as the index says, for no disk space.
        QFile file(folder + QLatin1Char('/') + entries.last().filename);
        if (file.open(QIODevice::WriteOnly))
            file.resize(entries.last().fileSize);
    }
    QString error;
    RecordingsIndex::write(folder + QLatin1Char('/') + RecordingsIndex::fileName, entries, error);

    // A start: a new archive, and the look at the folder that begins its work.
    RecordingsArchive archive(std::move(environment));
    QElapsedTimer timer;
    timer.start();
    archive.createRecordingsDirectoryIfNeeded();
    archive.checkIndexAtStart();
    const double startUp = msSince(timer);

    const std::vector<float> fiveSeconds(5 * 16000, 0.1f);
    timer.start();
    archive.saveRecording(fiveSeconds, 16000, QStringLiteral("bench"), QStringLiteral("unknown"));
    const double first = msSince(timer);

    constexpr int rounds = 20;
    const auto saves = [&](double& mean, double& worst) {
        worst = 0;
        QElapsedTimer all;
        all.start();
        for (int i = 0; i < rounds; ++i) {
            QElapsedTimer one;
            one.start();
            archive.saveRecording(fiveSeconds, 16000, QStringLiteral("bench"), QStringLiteral("unknown"));
            worst = std::max(worst, msSince(one));
        }
        mean = msSince(all) / rounds;
    };
    double perSave = 0;
    double worst = 0;
    saves(perSave, worst);

    // Full: every further save goes over the limit and removes the oldest.
    int64_t used = 0;
    for (const RecordingMetadata& entry : archive.getRecordings())
        used += QFileInfo(folder + QLatin1Char('/') + entry.filename).size();
    limitMB = std::max<int64_t>(1, used / (1024 * 1024));
    double perFullSave = 0;
    double worstFull = 0;
    saves(perFullSave, worstFull);

    timer.start();
    archive.deleteRecordings({names.value(indexSize / 2, QStringLiteral("none.wav"))});
    const double deleteOne = msSince(timer);

    timer.start();
    QStringList everything;
    for (const RecordingMetadata& entry : archive.getRecordings())
        everything.append(entry.filename);
    archive.deleteRecordings(everything);
    const double clearAll = msSince(timer);

    std::printf("index of %6d: start-up check %8.2f ms; first save after start %8.2f ms; "
                "save %7.2f ms mean, %7.2f ms worst; save at the size limit %7.2f ms mean, %7.2f ms worst; "
                "delete one %7.2f ms; delete all %6lld as one batch %8.1f ms\n",
        indexSize, startUp, first, perSave, worst, perFullSave, worstFull, deleteOne,
        static_cast<long long>(everything.size()), clearAll);
}

} // namespace

int main(int argc, char** argv)
{
    QTemporaryDir home;
    qputenv("XDG_CONFIG_HOME", (home.path() + "/config").toUtf8());
    qputenv("XDG_DATA_HOME", (home.path() + "/data").toUtf8());
    QCoreApplication app(argc, argv);

    RecordingManager& manager = RecordingManager::shared();
    manager.setIsSaveEnabled(true);
    constexpr int calls = 200;
    qint64 worst = 0;
    qint64 total = 0;
    for (int i = 0; i < calls; ++i) {
        std::vector<float> audio(5 * 16000, 0.1f);
        QElapsedTimer timer;
        timer.start();
        manager.saveRecording(std::move(audio), 16000, QStringLiteral("bench"), QStringLiteral("unknown"));
        const qint64 elapsed = timer.nsecsElapsed();
        total += elapsed;
        worst = std::max(worst, elapsed);
    }
    manager.waitForPendingWork();
    std::printf("caller's share of saveRecording: %.1f us mean, %.1f us worst over %d calls\n", total / 1e3 / calls,
        worst / 1e3, calls);

    for (int size : {0, 1000, 10000, 50000})
        backgroundCost(home.path() + QStringLiteral("/bench-%1").arg(size), size);
    return 0;
}
