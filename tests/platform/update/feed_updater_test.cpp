#include "platform/update/FeedUpdater.h"

#include "base/Defaults.h"
#include "support/EventLoop.h"
#include "support/FakeAlertPresenter.h"
#include "support/FakeWorkspace.h"
#include "support/LocalHttpServer.h"
#include "support/LogCapture.h"
#include "support/Patience.h"
#include "support/QtMessageCapture.h"
#include "support/SettingsReset.h"

#include <QTcpServer>
#include <QTimeZone>

#include <gtest/gtest.h>

namespace {

QByteArray feedWith(const QString& version)
{
    return QStringLiteral(R"(<?xml version="1.0"?>
<rss version="2.0" xmlns:up="http://example.org/update-feed"><channel>
<item><title>Tallowind %1</title><up:version>%1</up:version>
<up:releaseNotesLink>https://tallowind.example/notes</up:releaseNotesLink>
<link>https://tallowind.example/download</link>
<description>Fewer &lt;b&gt;surprises&lt;/b&gt;.</description></item>
</channel></rss>)")
        .arg(version)
        .toUtf8();
}

HttpRoute body(const QByteArray& bytes, int status = 200)
{
    HttpRoute route;
    route.status = status;
    route.body = bytes;
    return route;
}

// An address where nothing listens.
QUrl unreachableAddress()
{
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost);
    const quint16 port = probe.serverPort();
    probe.close();
    return QUrl(QStringLiteral("http://127.0.0.1:%1/appcast.xml").arg(port));
}

class FeedUpdaterTest : public DefaultsTest {
protected:
    std::unique_ptr<FeedUpdater> updater(const QUrl& feed, const QString& version = "1.0")
    {
        return std::make_unique<FeedUpdater>(feed, version, alerts, workspace);
    }
    QUrl feedAddress() const { return QUrl(server.baseUrl() + "/appcast.xml"); }
    void checkAndWait(FeedUpdater& checker)
    {
        checker.checkForUpdates();
        ASSERT_TRUE(pumpUntil([&] { return !checker.isChecking(); }, Patience::transfer));
    }

    LocalHttpServer server;
    std::shared_ptr<FakeAlertPresenter> alerts = std::make_shared<FakeAlertPresenter>();
    std::shared_ptr<FakeWorkspace> workspace = std::make_shared<FakeWorkspace>();
};

} // namespace

TEST_F(FeedUpdaterTest, UpToDateSaysSoAndOpensNothing)
{
    server.setRoute("/appcast.xml", body(feedWith("1.0.0")));
    auto checker = updater(feedAddress(), "1.0");
    checkAndWait(*checker);
    ASSERT_EQ(alerts->shown.size(), 1u);
    EXPECT_EQ(alerts->shown[0].messageText, "You're up to date");
    EXPECT_TRUE(alerts->shown[0].informativeText.contains("1.0"));
    EXPECT_TRUE(workspace->opened.isEmpty());
    EXPECT_TRUE(Defaults::contains(FeedUpdater::lastCheckKey));
}

TEST_F(FeedUpdaterTest, ANewerVersionIsOfferedWithItsNotesAndOpensTheDownloadPage)
{
    server.setRoute("/appcast.xml", body(feedWith("1.1")));
    auto checker = updater(feedAddress(), "1.0");
    alerts->responses = {0};
    checkAndWait(*checker);
    ASSERT_EQ(alerts->shown.size(), 1u);
    const Alert& offer = alerts->shown[0];
    EXPECT_EQ(offer.messageText, "Tallowind 1.1 is available");
    EXPECT_TRUE(offer.informativeText.contains("You have version 1.0.")) << offer.informativeText.toStdString();
    EXPECT_TRUE(offer.detailsHtml.contains("Fewer <b>surprises</b>.")) << "notes keep their markup";
    EXPECT_FALSE(offer.informativeText.contains("surprises"));
    EXPECT_EQ(offer.buttons, QStringList({"Open Download Page", "Release Notes", "Later"}));
    ASSERT_EQ(workspace->opened.size(), 1);
    EXPECT_EQ(workspace->opened[0], QUrl("https://tallowind.example/download"));

    alerts->responses = {1};
    checkAndWait(*checker);
    EXPECT_EQ(workspace->opened.back(), QUrl("https://tallowind.example/notes"));
    alerts->responses = {2};
    checkAndWait(*checker);
    EXPECT_EQ(workspace->opened.size(), 2) << "Later opens nothing";
}

TEST_F(FeedUpdaterTest, FailuresAreShownInPlainWordsAndLoggedWithTheParsersDetail)
{
    LogCapture log;
    QtMessageCapture qtMessages;
    auto checker = updater(feedAddress());
    server.setRoute("/appcast.xml", body("<rss><channel><item>"));
    checkAndWait(*checker);
    server.setRoute("/appcast.xml", body("<!DOCTYPE html><html><body>Sign in</body></html>"));
    checkAndWait(*checker);
    server.setRoute("/appcast.xml", body("gone", 404));
    checkAndWait(*checker);
    auto unreachable = updater(unreachableAddress());
    checkAndWait(*unreachable);

    ASSERT_EQ(alerts->shown.size(), 4u);
    for (const Alert& shown : alerts->shown) {
        EXPECT_EQ(shown.messageText, "Update check failed");
        EXPECT_EQ(shown.style, AlertStyle::Warning);
    }
    EXPECT_EQ(alerts->shown[0].informativeText, "The update feed could not be read.");
    EXPECT_TRUE(alerts->shown[1].informativeText.startsWith("The update feed could not be read"));
    EXPECT_FALSE(alerts->shown[1].informativeText.contains("line")) << "no parser wording for the user";
    EXPECT_TRUE(alerts->shown[2].informativeText.contains("HTTP 404 Not Found"))
        << alerts->shown[2].informativeText.toStdString();
    EXPECT_TRUE(alerts->shown[3].informativeText.contains("could not be reached"));
    EXPECT_FALSE(Defaults::contains(FeedUpdater::lastCheckKey)) << "a failed check is not a check";

    // Each failure is logged with the feed's address; the parser's own
    // wording goes there instead.
    const QStringList failures = log.systemLines().filter("[Updater] Update check failed");
    ASSERT_EQ(failures.size(), 4);
    for (int i = 0; i < 3; ++i)
        EXPECT_TRUE(failures[i].contains(feedAddress().toString())) << failures[i].toStdString();
    EXPECT_TRUE(failures[0].contains("Premature end of document")) << failures[0].toStdString();
    EXPECT_TRUE(failures[1].contains("<html>")) << failures[1].toStdString();
    EXPECT_TRUE(QtMessageCapture::messages().filter("only be called once").isEmpty());
}

TEST_F(FeedUpdaterTest, ABuildWithoutAFeedSaysSoAsInformationNotAsAFailure)
{
    auto unconfigured = updater(QUrl());
    unconfigured->checkForUpdates();
    ASSERT_EQ(alerts->shown.size(), 1u);
    EXPECT_NE(alerts->shown[0].messageText, "Update check failed");
    EXPECT_EQ(alerts->shown[0].style, AlertStyle::Informational);
    EXPECT_TRUE(alerts->shown[0].informativeText.contains("no update feed"));
}

TEST_F(FeedUpdaterTest, AnOversizedFeedIsCutOffAtTheCapWhetherAnnouncedOrNot)
{
    constexpr qint64 hugeFeed = 50 * 1024 * 1024;
    for (bool announced : {true, false}) {
        SCOPED_TRACE(announced);
        HttpRoute huge;
        huge.generatedSize = hugeFeed;
        huge.announceLength = announced;
        huge.chunkSize = 256 * 1024;
        server.setRoute("/appcast.xml", huge);
        alerts->shown.clear();
        const qint64 sentBefore = server.bodyBytesSent();

        auto checker = updater(feedAddress());
        checkAndWait(*checker);
        ASSERT_EQ(alerts->shown.size(), 1u);
        EXPECT_TRUE(alerts->shown[0].informativeText.contains("too large"))
            << alerts->shown[0].informativeText.toStdString();
        // The transfer stops at the cap; only what the sockets' buffers
        // took on the way was sent beyond it.
        ASSERT_TRUE(pumpUntil([&] { return server.openConnections() == 0; }, Patience::transfer));
        EXPECT_LT(server.bodyBytesSent() - sentBefore, hugeFeed / 2);
    }
}

TEST_F(FeedUpdaterTest, AskingTwiceDuringOneCheckReadsTheFeedOnceAndAnswersOnce)
{
    HttpRoute slow = body(feedWith("1.0"));
    slow.chunkDelayMs = 200;
    slow.chunkSize = 64;
    server.setRoute("/appcast.xml", slow);
    auto checker = updater(feedAddress(), "1.0");
    checker->checkForUpdates();
    checkAndWait(*checker);
    EXPECT_EQ(server.requestCount("/appcast.xml"), 1);
    EXPECT_EQ(alerts->shown.size(), 1u);
}

// Escape or the close button (no button, -1) decides nothing: the question
// comes again at the next launch, until one of its buttons answers it.
TEST_F(FeedUpdaterTest, TheQuestionComesFromTheSecondLaunchUntilAButtonAnswersIt)
{
    server.setRoute("/appcast.xml", body(feedWith("1.0")));
    {
        auto first = updater(feedAddress());
        first->start();
        pumpFor(50);
        EXPECT_TRUE(alerts->shown.empty()) << "the first launch is left alone";
        EXPECT_EQ(first->scheduledCheckInMs(), -1);
    }
    {
        alerts->responses = {-1}; // Escape
        auto second = updater(feedAddress());
        second->start();
        ASSERT_TRUE(pumpUntil([&] { return alerts->shown.size() == 1; }, 5000));
        EXPECT_EQ(alerts->shown[0].buttons, QStringList({"Check Automatically", "Don't Check"}));
        EXPECT_FALSE(Defaults::contains(FeedUpdater::automaticChecksKey));
        EXPECT_EQ(second->scheduledCheckInMs(), -1);
    }
    {
        alerts->responses = {1}; // "Don't Check"
        auto third = updater(feedAddress());
        third->start();
        ASSERT_TRUE(pumpUntil([&] { return alerts->shown.size() == 2; }, 5000)) << "asked again";
        EXPECT_TRUE(Defaults::contains(FeedUpdater::automaticChecksKey));
        EXPECT_EQ(Defaults::value(FeedUpdater::automaticChecksKey).toBool(), false);
        EXPECT_EQ(third->scheduledCheckInMs(), -1);
    }
    {
        auto fourth = updater(feedAddress());
        fourth->start();
        pumpFor(50);
        EXPECT_EQ(alerts->shown.size(), 2u) << "the answer is kept";
        EXPECT_EQ(server.requestCount("/appcast.xml"), 0);
    }
}

TEST_F(FeedUpdaterTest, AutomaticChecksRunDailyAndSpeakOnlyOfNewVersions)
{
    Defaults::setValue(FeedUpdater::launchCountKey, 5);
    Defaults::setValue(FeedUpdater::automaticChecksKey, true);
    const QDateTime now = QDateTime::fromSecsSinceEpoch(1'800'000'000, QTimeZone::utc());
    // Checked an hour ago: the next check is due in 23 hours.
    Defaults::setValue(FeedUpdater::lastCheckKey, now.addSecs(-3600).toSecsSinceEpoch());
    auto checker = updater(feedAddress());
    checker->setClock([now] { return now; });
    checker->start();
    EXPECT_NEAR(checker->scheduledCheckInMs(), 23 * 3600 * 1000, 5000);

    // Never checked: due now. Up to date says nothing.
    Defaults::remove(FeedUpdater::lastCheckKey);
    server.setRoute("/appcast.xml", body(feedWith("1.0")));
    auto fresh = updater(feedAddress());
    fresh->setClock([now] { return now; });
    fresh->start();
    ASSERT_TRUE(pumpUntil(
        [&] { return server.requestCount("/appcast.xml") == 1 && !fresh->isChecking(); }, Patience::transfer));
    EXPECT_TRUE(alerts->shown.empty());
    EXPECT_EQ(Defaults::value(FeedUpdater::lastCheckKey).toLongLong(), now.toSecsSinceEpoch());
    EXPECT_NEAR(fresh->scheduledCheckInMs(), 24 * 3600 * 1000, 5000);
}

TEST_F(FeedUpdaterTest, AScheduledCheckThatFailsOnlyWritesALogLine)
{
    Defaults::setValue(FeedUpdater::launchCountKey, 5);
    Defaults::setValue(FeedUpdater::automaticChecksKey, true);
    LogCapture log;
    auto checker = updater(unreachableAddress());
    checker->start();
    ASSERT_TRUE(pumpUntil(
        [&] { return !log.systemLines().filter("[Updater] Update check failed").isEmpty(); }, Patience::transfer));
    EXPECT_TRUE(alerts->shown.empty());
    EXPECT_GT(checker->scheduledCheckInMs(), 0) << "tried again later";
}

TEST_F(FeedUpdaterTest, TheFeedAddressIsABuildSettingTheEnvironmentOverrides)
{
    qputenv("TALLOWIND_UPDATE_FEED_URL", "http://127.0.0.1:1/feed.xml");
    EXPECT_EQ(FeedUpdater::configuredFeedAddress(), QUrl("http://127.0.0.1:1/feed.xml"));
    qunsetenv("TALLOWIND_UPDATE_FEED_URL");
    EXPECT_FALSE(FeedUpdater::buildVersion().isEmpty());
}

// The application quits: a check under way ends unread, and neither a
// scheduled check nor the user's starts any more.
TEST_F(FeedUpdaterTest, AStoppedUpdaterDropsTheCheckUnderWayAndStartsNoOther)
{
    Defaults::setValue(FeedUpdater::automaticChecksKey, true);
    Defaults::setValue(FeedUpdater::lastCheckKey, QDateTime::currentDateTimeUtc().toSecsSinceEpoch());
    HttpRoute held = body(feedWith("2.0"));
    held.hold = std::make_shared<std::atomic<bool>>(true);
    server.setRoute("/appcast.xml", held);
    auto checker = updater(feedAddress(), "1.0");
    checker->start();
    ASSERT_GE(checker->scheduledCheckInMs(), 0);
    checker->checkForUpdates();
    ASSERT_TRUE(pumpUntil([&] { return server.requestCount("/appcast.xml") == 1; }, Patience::reply));

    checker->stop();
    EXPECT_FALSE(checker->isChecking());
    EXPECT_EQ(checker->scheduledCheckInMs(), -1);
    *held.hold = false;
    checker->checkForUpdates();
    EXPECT_FALSE(checker->isChecking());
    QCoreApplication::processEvents();
    EXPECT_TRUE(alerts->shown.empty());
    EXPECT_EQ(server.requestCount("/appcast.xml"), 1);
}
