// What the user reads when the model server misbehaves: the first-launch
// status line against a local server that answers 404, cuts the body short,
// sends a web page or stops sending for a while.
#include "DownloadFixture.h"

#include "downloads/FirstLaunchViewModel.h"
#include "support/LogCapture.h"
#include "support/Patience.h"
#include "support/QtMessageCapture.h"

#include <QUrl>

namespace {

class ServerFaultsTest : public DownloadTest {
protected:
    // Runs a first-launch download to its end and returns the status line.
    QString failureLine()
    {
        state.startDownload();
        EXPECT_TRUE(pumpUntil([&] { return state.downloadFailed() || state.downloadComplete(); }, Patience::transfer));
        EXPECT_TRUE(state.downloadFailed());
        EXPECT_FALSE(QFileInfo::exists(pathOf(model)));
        EXPECT_TRUE(modelsFolderEntries().isEmpty()) << "no part-file is left behind";
        return state.statusText();
    }
    QString address() const { return server.baseUrl() + routeOf(model); }
    QStringList downloadLogLines() const { return log.systemLines().filter("[Download]"); }

    LogCapture log;
    QtMessageCapture qtMessages;
    FirstLaunchViewModel state{[] {}};
};

} // namespace

TEST_F(ServerFaultsTest, AMissingFileNamesTheAddressAndIsReportedOnce)
{
    HttpRoute missing;
    missing.status = 404;
    missing.body = "<html><body>Not Found</body></html>";
    serve(model, missing);

    const QString line = failureLine();
    const QUrl where(address());
    EXPECT_EQ(line,
        QStringLiteral("Download failed: Model download failed: The server at 127.0.0.1:%1 has no file %2")
            .arg(where.port())
            .arg(model.fileName()));
    ASSERT_EQ(downloadLogLines().size(), 1) << downloadLogLines().join('\n').toStdString();
    const QString logged = downloadLogLines().front();
    EXPECT_TRUE(logged.contains(model.rawValue()) && logged.contains(address()) && logged.contains("has no file"))
        << logged.toStdString();
    // Qt complains when its reply is told of an error twice.
    EXPECT_TRUE(QtMessageCapture::messages().filter("only be called once").isEmpty())
        << QtMessageCapture::messages().join('\n').toStdString();
}

TEST_F(ServerFaultsTest, OtherFaultsAreNamedForWhatWentWrongAndLogged)
{
    struct Case {
        const char* name;
        HttpRoute route;
        QString start;
        QStringList words;
    };
    HttpRoute broken;
    broken.status = 500;
    broken.body = "oops";
    HttpRoute cut = generated(4 * 1024 * 1024, 256 * 1024);
    cut.cutAfter = 1536 * 1024;
    HttpRoute page;
    page.body = "  \n<!DOCTYPE html><html><head><title>Sign in</title></head><body>" + QByteArray(2 * 1024 * 1024, 'x')
        + "</body></html>";
    HttpRoute binary;
    binary.body = QByteArray(64 * 1024, '\x7f');
    const QString network = "Download failed: Network error: ";
    const QString download = "Download failed: Model download failed: ";
    const std::vector<Case> cases{
        {"other status", broken, network, {"HTTP status 500", "Internal Server Error"}},
        {"cut short", cut, network + "The download ended early", {"1.5 MB of 4.0 MB"}},
        {"web page", page, download, {"web page instead of the model file"}},
        {"other body", binary, download, {"not a model file"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        serve(model, c.route);
        const qsizetype logged = downloadLogLines().size();
        const QString line = failureLine();
        EXPECT_TRUE(line.startsWith(c.start)) << line.toStdString();
        for (const QString& words : c.words)
            EXPECT_TRUE(line.contains(words)) << line.toStdString();
        EXPECT_EQ(downloadLogLines().size(), logged + 1);
    }
}

TEST_F(ServerFaultsTest, ASilentServerIsNamedUntilDataComesAgain)
{
    // Half the file, a long pause, the other half.
    HttpRoute pausing = generated(1024 * 1024, 512 * 1024);
    pausing.chunkDelayMs = 3000;
    serve(model, pausing);
    // Far shorter than the pause, far longer than any gap inside a chunk.
    state.setStallNoticeAfter(std::chrono::milliseconds(600));
    QStringList lines;
    QObject::connect(&state, &FirstLaunchViewModel::statusTextChanged, [&](const QString& text) { lines << text; });

    state.startDownload();
    ASSERT_TRUE(pumpUntil([&] { return state.downloadComplete() || state.downloadFailed(); }, Patience::transfer));
    ASSERT_TRUE(state.downloadComplete()) << state.statusText().toStdString();
    const qsizetype waiting = lines.lastIndexOf("Waiting for the server... 0.5 MB / 1.0 MB");
    ASSERT_GE(waiting, 0) << lines.join('\n').toStdString();
    EXPECT_EQ(lines.mid(waiting + 1).filter("Downloading... 1.0 MB / 1.0 MB").size(), 1)
        << "the progress line returns with the data: " << lines.join('\n').toStdString();
}

TEST_F(ServerFaultsTest, AServerThatNeverAnswersIsNamedBeforeAnyByte)
{
    HttpRoute silent = generated(1024 * 1024);
    silent.stallAfter = 0;
    serve(model, silent);
    state.setStallNoticeAfter(std::chrono::milliseconds(100));
    state.startDownload();
    ASSERT_TRUE(pumpUntil([&] { return state.statusText() == "Waiting for the server..."; }, 10000))
        << state.statusText().toStdString();
    EXPECT_TRUE(state.isDownloading());
}
