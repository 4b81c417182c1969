// Brings up a QApplication (offscreen unless the test environment says
// otherwise) with private config and data folders, then runs GoogleTest.
#include "core/speech/WhisperPassParameters.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdlib>
#include <optional>
#include <string_view>

namespace {

// A death test runs this program again for its child, which ends with
// _Exit: a temporary home of its own would be left behind. The child
// inherits the parent's environment, and with it the parent's home.
bool isDeathTestChild(int argc, char** argv)
{
    return std::any_of(argv, argv + argc,
        [](const char* argument) { return std::string_view(argument).starts_with("--gtest_internal_run_death_test"); });
}

} // namespace

int main(int argc, char** argv)
{
    std::optional<QTemporaryDir> home;
    if (!isDeathTestChild(argc, argv)) {
        home.emplace();
        if (!home->isValid())
            return 2;
        // Settings and archives must never touch the real home folder.
        qputenv("XDG_CONFIG_HOME", (home->path() + "/config").toUtf8());
        qputenv("XDG_DATA_HOME", (home->path() + "/data").toUtf8());
        qputenv("XDG_CACHE_HOME", (home->path() + "/cache").toUtf8());
        qputenv("GGML_NO_BACKTRACE", "1");
        // Outside a private desktop session the cases run offscreen, and the
        // desktop the tests were started from is none of theirs: not its
        // display, not its session bus, not its runtime folder.
        if (qgetenv("TALLOWIND_IN_TEST_SESSION") != "1") {
            const QString runtime = home->path() + "/runtime";
            QDir().mkpath(runtime);
            QFile::setPermissions(runtime, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
            qputenv("XDG_RUNTIME_DIR", runtime.toUtf8());
            qputenv("DBUS_SESSION_BUS_ADDRESS", ("unix:path=" + runtime + "/no-bus").toUtf8());
            qunsetenv("DISPLAY");
            qunsetenv("WAYLAND_DISPLAY");
        }
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") && qEnvironmentVariableIsEmpty("DISPLAY"))
            qputenv("QT_QPA_PLATFORM", "offscreen");
    }

    // The test models are tiny: one thread passes them in a tenth of a
    // second, where compute threads that spin on their barriers would only
    // compete with the cases running beside. How the tool sizes its threads
    // is checked on its own.
    WhisperPassParameters::setProcessorAllowance([] { return 1; });
    QApplication app(argc, argv);
    QApplication::setQuitOnLastWindowClosed(false);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
