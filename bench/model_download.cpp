// Prints what downloading a 1 GiB model costs: the downloader's throughput
// next to curl writing the same URL from the same local server in the same
// run, and how much the downloader's peak resident memory grows.
#include "ProcessMemory.h"
#include "core/speech/ModelManager.h"
#include "downloads/ModelDownloader.h"
#include "support/LocalHttpServer.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <cstdio>

namespace {

constexpr qint64 bodySize = qint64{1} << 30;

// A delegate that does what the views do with a report: keep the numbers.
class Counter : public ModelDownloadDelegate {
public:
    void downloadDidStart(WhisperModel) override { }
    void downloadDidUpdateProgress(double, qint64 written, qint64, WhisperModel) override
    {
        bytes = written;
        ++reports;
    }
    void downloadDidComplete(WhisperModel) override { done = true; }
    void downloadDidFail(const TallowindError& error, WhisperModel) override
    {
        failure = error.errorDescription();
        done = true;
    }
    qint64 bytes = 0;
    int reports = 0;
    bool done = false;
    QString failure;
};

double secondsOfCurl(const QString& url, const QString& target)
{
    QElapsedTimer timer;
    timer.start();
    const int status =
        QProcess::execute(QStringLiteral("curl"), {QStringLiteral("-s"), QStringLiteral("-o"), target, url});
    const double seconds = timer.nsecsElapsed() / 1e9;
    if (status != 0 || QFileInfo(target).size() != bodySize) {
        std::printf("curl failed (status %d)\n", status);
        return -1;
    }
    QFile::remove(target);
    return seconds;
}

struct Run {
    double seconds = -1;
    double peakGrowthMiB = 0;
    int reports = 0;
};

Run downloaderRun(WhisperModel model)
{
    Counter counter;
    auto downloader = ModelDownloader::create();
    downloader->setDelegate(&counter);
    QCoreApplication::processEvents();
    const qint64 baseline = statusKiB("VmRSS:");
    resetPeakRss();
    QElapsedTimer timer;
    timer.start();
    downloader->downloadModel(model);
    while (!counter.done)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    Run run;
    run.seconds = timer.nsecsElapsed() / 1e9;
    run.peakGrowthMiB = (statusKiB("VmHWM:") - baseline) / 1024.0;
    run.reports = counter.reports;
    if (!counter.failure.isEmpty()) {
        std::printf("download failed: %s\n", qPrintable(counter.failure));
        run.seconds = -1;
    }
    QFile::remove(ModelManager::shared().modelPath(model));
    return run;
}

} // namespace

int main(int argc, char** argv)
{
    QTemporaryDir home(QDir::currentPath() + QStringLiteral("/bench-download-XXXXXX"));
    qputenv("XDG_DATA_HOME", home.path().toUtf8());
    qputenv("XDG_CONFIG_HOME", (home.path() + QStringLiteral("/config")).toUtf8());
    QCoreApplication app(argc, argv);

    LocalHttpServer server;
    HttpRoute route;
    route.generatedSize = bodySize;
    route.chunkSize = 256 * 1024;
    const WhisperModel model = WhisperModel::largeV3;
    const QString path = QStringLiteral("/orvandel/whisper.cpp/resolve/main/") + model.fileName();
    server.setRoute(path, route);
    qputenv("TALLOWIND_MODEL_BASE_URL", server.baseUrl().toUtf8());
    const QString url = server.baseUrl() + path;
    QDir().mkpath(ModelManager::shared().modelsDirectory());
    const QString curlTarget = ModelManager::shared().modelsDirectory() + QStringLiteral("/curl.bin");

    // Alternating rounds; the best of each counts (the machine is shared).
    double bestCurl = 1e9;
    Run best;
    best.seconds = 1e9;
    double maxGrowth = 0;
    for (int round = 0; round < 3; ++round) {
        const double curlSeconds = secondsOfCurl(url, curlTarget);
        const Run run = downloaderRun(model);
        if (curlSeconds < 0 || run.seconds < 0)
            return 1;
        std::printf("round %d: curl %.2f s (%.0f MiB/s), downloader %.2f s (%.0f MiB/s), %d progress reports, "
                    "peak RSS growth %.1f MiB\n",
            round + 1, curlSeconds, 1024 / curlSeconds, run.seconds, 1024 / run.seconds, run.reports,
            run.peakGrowthMiB);
        bestCurl = std::min(bestCurl, curlSeconds);
        if (run.seconds < best.seconds)
            best = run;
        maxGrowth = std::max(maxGrowth, run.peakGrowthMiB);
    }
    std::printf("1 GiB from a local server: curl -o %.0f MiB/s, downloader %.0f MiB/s, ratio %.2f (target >= 0.9)\n",
        1024 / bestCurl, 1024 / best.seconds, bestCurl / best.seconds);
    std::printf("downloader peak resident memory growth: %.1f MiB at most (target < 32 MiB)\n", maxGrowth);
    return 0;
}
