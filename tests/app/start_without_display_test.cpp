#include <QCoreApplication>
#include <QFileInfo>
#include <QProcess>
#include <QProcessEnvironment>

#include <gtest/gtest.h>

namespace {

struct ToolRun {
    int exitCode = -1;
    QProcess::ExitStatus exitStatus = QProcess::CrashExit;
    QString errorOutput;
};

// Starts the tool with `display` as DISPLAY (unset when empty) and waits
// for it to end.
ToolRun startTool(const QString& display)
{
    const QString tool = QCoreApplication::applicationDirPath() + "/../tallowind";
    EXPECT_TRUE(QFileInfo(tool).isExecutable()) << tool.toStdString();
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.remove("QT_QPA_PLATFORM");
    environment.remove("WAYLAND_DISPLAY");
    environment.remove("DISPLAY");
    if (!display.isEmpty())
        environment.insert("DISPLAY", display);
    QProcess process;
    process.setProcessEnvironment(environment);
    process.start(tool, {});
    ToolRun run;
    if (!process.waitForFinished(60000)) {
        process.kill();
        process.waitForFinished();
        return run;
    }
    run.exitCode = process.exitCode();
    run.exitStatus = process.exitStatus();
    run.errorOutput = QString::fromLocal8Bit(process.readAllStandardError());
    return run;
}

} // namespace

// Without a display Qt would abort (status 134) with advice to reinstall.
TEST(StartWithoutDisplay, EndsWithStatusOneAndNamesDisplay)
{
    const ToolRun unset = startTool({});
    EXPECT_EQ(unset.exitStatus, QProcess::NormalExit);
    EXPECT_EQ(unset.exitCode, 1);
    EXPECT_TRUE(unset.errorOutput.contains("DISPLAY is not set")) << unset.errorOutput.toStdString();

    const ToolRun unreachable = startTool(":4711");
    EXPECT_EQ(unreachable.exitStatus, QProcess::NormalExit);
    EXPECT_EQ(unreachable.exitCode, 1);
    EXPECT_TRUE(unreachable.errorOutput.contains("the display DISPLAY names (\":4711\") cannot be opened"))
        << unreachable.errorOutput.toStdString();
    EXPECT_FALSE(unreachable.errorOutput.contains("Reinstalling"));
}
