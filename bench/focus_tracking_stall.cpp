// How long the main thread stalls while the focused-field detector runs and
// the application it tracks hangs (stopped with SIGSTOP). Each round plays a
// shortcut recording as the indicator drives the detector: the current field
// is asked for, observation starts, runs for a while with its poll and focus
// checks, and stops. A 1 ms timer on the main thread measures the longest gap
// between its ticks; each detector call is timed on its own.
//
// Needs an X display, a session bus and a window manager; run by hand:
//   TALLOWIND_SOURCE_DIR=$PWD scripts/with-test-session.sh build/bench/bench_focus_tracking_stall [rounds]
#include "platform/atspi/AtspiFocusSource.h"
#include "platform/x11/X11FrontmostApplication.h"
#include "shell/indicator/FocusFieldDetector.h"
#include "support/EventLoop.h"
#include "support/PasteTarget.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QTimer>

#include <algorithm>
#include <csignal>
#include <cstdio>

namespace {

struct Figures {
    qint64 worstGapMs = 0;
    qint64 worstCallMs = 0;
    int reports = 0;
};

Figures runRounds(FocusFieldDetector& detector, int rounds, int roundMs)
{
    Figures figures;
    QElapsedTimer sinceTick;
    sinceTick.start();
    QTimer ticker;
    ticker.setTimerType(Qt::PreciseTimer);
    QObject::connect(
        &ticker, &QTimer::timeout, [&] { figures.worstGapMs = std::max(figures.worstGapMs, sinceTick.restart()); });
    ticker.start(1);

    const auto timed = [&](auto&& call) {
        QElapsedTimer clock;
        clock.start();
        call();
        figures.worstCallMs = std::max(figures.worstCallMs, clock.elapsed());
    };
    for (int round = 0; round < rounds; ++round) {
        timed([&] { detector.getCurrentFocusedField(); });
        timed([&] { detector.startObserving([&](const std::optional<FocusedField>&) { ++figures.reports; }); });
        pumpFor(roundMs);
        timed([&] { detector.stopObserving(); });
        pumpFor(100);
    }
    ticker.stop();
    return figures;
}

void print(const char* label, const Figures& figures)
{
    std::printf("%-32s worst main-thread gap %4lld ms, slowest detector call %3lld ms, reports %d\n", label,
        static_cast<long long>(figures.worstGapMs), static_cast<long long>(figures.worstCallMs), figures.reports);
}

} // namespace

int main(int argc, char** argv)
{
    qputenv("QT_LINUX_ACCESSIBILITY_ALWAYS_ON", "1");
    QApplication app(argc, argv);
    const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 3;
    constexpr int roundMs = 3000;
    constexpr int callTimeoutMs = 500;

    auto source = std::make_shared<AtspiFocusSource>(callTimeoutMs);
    auto frontmost = std::make_shared<X11FrontmostApplication>();
    if (!pumpUntil([&] { return source->isListening(); }, 15000)) {
        std::fprintf(stderr, "no accessibility bus\n");
        return 1;
    }
    PasteTarget target;
    const QString script =
        qEnvironmentVariable("TALLOWIND_SOURCE_DIR") + QStringLiteral("/tests/tools/paste_target_gtk.py");
    if (!target.start(QStringLiteral("/usr/bin/python3"), {script}) || !target.activate()) {
        std::fprintf(stderr, "the GTK target did not start\n");
        return 1;
    }
    pumpUntil([&] {
        const auto focus = source->cachedFocus();
        return focus && focus->processId == target.processId();
    });

    FocusFieldDetector detector(source, frontmost);
    std::printf("%d rounds of %d ms, application timeout %d ms\n", rounds, roundMs, callTimeoutMs);
    print("target answering:", runRounds(detector, rounds, roundMs));

    const auto pid = static_cast<pid_t>(target.processId());
    ::kill(pid, SIGSTOP);
    print("target stopped (SIGSTOP):", runRounds(detector, rounds, roundMs));
    ::kill(pid, SIGCONT);
    return 0;
}
