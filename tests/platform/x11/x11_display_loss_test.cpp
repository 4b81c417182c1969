#include "platform/x11/X11DisplayLoss.h"

#include "base/Dispatch.h"
#include "base/Log.h"
#include "support/EventLoop.h"
#include "support/LogCapture.h"
#include "support/Patience.h"
#include "support/PrivateXServer.h"

#include <QElapsedTimer>
#include <QFile>
#include <QThread>

#include <gtest/gtest.h>

// After gtest: Xlib's None macro clashes with a gtest type.
#include <X11/Xlib.h>

#include <atomic>
#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <future>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

namespace {

// The thread sleeps (a lock it waits for, among others).
bool sleeping(pid_t thread)
{
    QFile stat(QStringLiteral("/proc/self/task/%1/stat").arg(thread));
    if (!stat.open(QIODevice::ReadOnly))
        return false;
    const QByteArray fields = stat.readAll();
    const qsizetype state = fields.lastIndexOf(')') + 2;
    return state < fields.size() && fields[state] == 'S';
}

// The server can close its end between the moment a request finds the
// socket writable and the write itself: the write then fails with nothing
// to read yet. The loss is reported as a broken read is, and the process
// lives on to quit.
TEST(X11DisplayLoss, AWriteThatFindsTheServerGoneIsReportedOnce)
{
    PrivateXServer server;
    ASSERT_TRUE(server.start()) << "no X server";
    Display* connection = XOpenDisplay(server.display().constData());
    ASSERT_NE(connection, nullptr);
    std::atomic<bool> lost{false};
    X11DisplayLoss::watch(connection, lost);
    // That moment, held: the far end of the connection's socket reads no more.
    int ends[2];
    ASSERT_EQ(socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0, ends), 0);
    ASSERT_GE(dup3(ends[0], ConnectionNumber(connection), O_CLOEXEC), 0);
    close(ends[0]);
    shutdown(ends[1], SHUT_RD);

    // SIGPIPE as the tool starts with it, whatever this process was given.
    std::signal(SIGPIPE, SIG_DFL);
    int quits = 0;
    X11DisplayLoss::install([&] { ++quits; }, [] { ADD_FAILURE() << "ended in place"; });
    LogCapture log;
    XNoOp(connection);
    XFlush(connection);
    EXPECT_TRUE(lost);
    EXPECT_TRUE(pumpUntil([&] { return quits > 0; }, Patience::reply)) << "the loss was not reported";
    EXPECT_EQ(quits, 1);
    EXPECT_EQ(log.systemLines().count("[X11DisplayLoss] The connection to the X server broke; quitting"), 1);

    X11DisplayLoss::forget(connection);
    XCloseDisplay(connection);
    close(ends[1]);
}

// The main thread ends the process right after its report when it cannot go
// back to its event loop: the line of a report another thread is still
// writing must be out by then.
TEST(X11DisplayLoss, AReportReturnsOnlyOnceTheLossIsLogged)
{
    X11DisplayLoss::install([] {}, [] {});
    const pid_t mainThread = gettid();
    std::promise<void> writing;
    std::atomic<bool> mainReports{false};
    std::atomic<bool> mainReturned{false};
    std::atomic<bool> lineOut{false};
    // Holds the other thread's line until the main thread waits for it or
    // has gone past it.
    const int sink = Log::addSink([&](Log::Stream, const QString&) {
        if (Dispatch::isMainThread())
            return;
        writing.set_value();
        QElapsedTimer held;
        held.start();
        while (!mainReturned && !(mainReports && sleeping(mainThread)) && held.elapsed() < Patience::reply)
            QThread::msleep(1);
        lineOut = true;
    });
    std::thread other([] { X11DisplayLoss::report(); });
    ASSERT_EQ(writing.get_future().wait_for(std::chrono::milliseconds(Patience::reply)), std::future_status::ready);

    mainReports = true;
    X11DisplayLoss::report();
    EXPECT_TRUE(lineOut) << "the report returned before the loss was logged";
    mainReturned = true;
    other.join();
    Log::removeSink(sink);
}

} // namespace
