// Brings up a QApplication (offscreen unless the test environment says
// otherwise) with private config and data folders, then runs GoogleTest.
#include "core/speech/WhisperPassParameters.h"
#include "platform/linux/ProcessorAllowance.h"

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

    // Whisper passes size their threads as the tool does.
    WhisperPassParameters::setProcessorAllowance(&ProcessorAllowance::current);
    QApplication app(argc, argv);
    QApplication::setQuitOnLastWindowClosed(false);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
