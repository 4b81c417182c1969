// Prints what an oversized update feed costs: peak resident memory growth
// while the check reads 50 MiB and 1 GiB bodies from a local server (with
// and without an announced length), what stays held afterwards, and how
// much the server got to send before the check stopped it.
#include "ProcessMemory.h"
#include "platform/AlertPresenter.h"
#include "platform/update/FeedUpdater.h"
#include "support/LocalHttpServer.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <cstdio>
#include <cstring>
#include <malloc.h>

namespace {

class LastAlert final : public AlertPresenter {
public:
    int runModal(const Alert& alert) override
    {
        text = alert.informativeText;
        return 0;
    }
    void stopPresenting() override { }
    QString text;
};

// Lets queued deletions and the network thread settle.
void settle()
{
    for (int i = 0; i < 20; ++i) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
}

} // namespace

int main(int argc, char** argv)
{
    QTemporaryDir home(QDir::currentPath() + QStringLiteral("/bench-feed-XXXXXX"));
    qputenv("XDG_DATA_HOME", home.path().toUtf8());
    qputenv("XDG_CONFIG_HOME", (home.path() + QStringLiteral("/config")).toUtf8());
    QCoreApplication app(argc, argv);

    LocalHttpServer server;
    auto alerts = std::make_shared<LastAlert>();
    FeedUpdater updater(
        QUrl(server.baseUrl() + QStringLiteral("/appcast.xml")), QStringLiteral("1.0"), alerts, nullptr);
    // Sets up the network access once, outside the measured runs.
    server.setRoute(QStringLiteral("/appcast.xml"), HttpRoute{});
    updater.checkForUpdates();
    while (updater.isChecking())
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    settle();

    double worstGrowth = 0;
    const qint64 start = statusKiB("VmRSS:");
    for (const qint64 size : {qint64{50} << 20, qint64{1} << 30}) {
        for (const bool announced : {true, false}) {
            HttpRoute route;
            route.generatedSize = size;
            route.announceLength = announced;
            // Small chunks keep the in-process server's own buffers out of the figures.
            route.chunkSize = 64 * 1024;
            server.setRoute(QStringLiteral("/appcast.xml"), route);
            const qint64 sentBefore = server.bodyBytesSent();
            const qint64 baseline = statusKiB("VmRSS:");
            resetPeakRss();
            updater.checkForUpdates();
            while (updater.isChecking())
                QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
            const double growth = (statusKiB("VmHWM:") - baseline) / 1024.0;
            settle();
            const double held = (statusKiB("VmRSS:") - baseline) / 1024.0;
            // What stays once the allocator has handed its free pages back:
            // what our objects still hold.
            malloc_trim(0);
            const double heldTrimmed = (statusKiB("VmRSS:") - baseline) / 1024.0;
            std::printf("%5lld MiB feed, length %-9s: peak growth %.1f MiB, held after %.1f MiB (%.1f MiB with the "
                        "allocator's free pages returned), server sent %.1f MiB; shown: %s\n",
                static_cast<long long>(size >> 20), announced ? "announced" : "unknown", growth, held, heldTrimmed,
                static_cast<double>(server.bodyBytesSent() - sentBefore) / (1 << 20), qPrintable(alerts->text));
            worstGrowth = std::max(worstGrowth, growth);
        }
    }
    std::printf(
        "resident memory after all runs: %+.1f MiB against the start\n", (statusKiB("VmRSS:") - start) / 1024.0);
    std::printf("update feed check, worst peak resident memory growth: %.1f MiB (target < 8 MiB)\n", worstGrowth);
    return 0;
}
