// Brings up a QApplication (offscreen unless the test environment says
// otherwise) with private config and data folders, then runs GoogleTest.
#include "core/speech/WhisperPassParameters.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QTemporaryDir>

#include <cstdlib>

int main(int argc, char** argv)
{
    QTemporaryDir home;
    if (!home.isValid())
        return 2;
    // Settings and archives must never touch the real home folder.
    qputenv("XDG_CONFIG_HOME", (home.path() + "/config").toUtf8());
    qputenv("XDG_DATA_HOME", (home.path() + "/data").toUtf8());
    qputenv("XDG_CACHE_HOME", (home.path() + "/cache").toUtf8());
    qputenv("GGML_NO_BACKTRACE", "1");
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") && qEnvironmentVariableIsEmpty("DISPLAY"))
        qputenv("QT_QPA_PLATFORM", "offscreen");

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
