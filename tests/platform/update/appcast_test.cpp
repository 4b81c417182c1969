#include "platform/update/Appcast.h"

#include <gtest/gtest.h>

namespace {

const QByteArray feed = R"(<?xml version="1.0" encoding="utf-8"?>
<rss version="2.0" xmlns:up="http://example.org/update-feed" xmlns:dc="http://purl.org/dc/elements/1.1/">
  <channel>
    <title>Tallowind</title>
    <item>
      <title>Version 1.2</title>
      <up:version>1.2.0</up:version>
      <up:shortVersionString>1.2</up:shortVersionString>
      <up:releaseNotesLink>https://tallowind.example/notes/1.2</up:releaseNotesLink>
      <link>https://tallowind.example/download</link>
      <description><![CDATA[<p>Faster &amp; quieter.</p>]]></description>
    </item>
    <item>
      <title>Version 1.10</title>
      <enclosure url="https://tallowind.example/tallowind-1.10.tar.gz" up:version="1.10" length="1" type="application/octet-stream"/>
    </item>
    <item><title>No version, skipped</title><link>https://tallowind.example/</link></item>
    <item>
      <title>Odd links</title>
      <up:version>0.9</up:version>
      <link>file:///etc/passwd</link>
    </item>
  </channel>
</rss>)";

} // namespace

TEST(Appcast, ReadsVersionsLinksAndNotesFromElementsOrTheEnclosure)
{
    const AppcastParseResult result = Appcast::parse(feed);
    ASSERT_TRUE(result.error.isEmpty()) << result.error.toStdString();
    ASSERT_EQ(result.items.size(), 3u);
    const AppcastItem& first = result.items[0];
    EXPECT_EQ(first.version, "1.2.0");
    EXPECT_EQ(first.displayVersion, "1.2");
    EXPECT_EQ(first.title, "Version 1.2");
    EXPECT_EQ(first.releaseNotesLink, QUrl("https://tallowind.example/notes/1.2"));
    EXPECT_EQ(first.downloadLink, QUrl("https://tallowind.example/download"));
    EXPECT_EQ(first.notes, "<p>Faster &amp; quieter.</p>");
    const AppcastItem& second = result.items[1];
    EXPECT_EQ(second.version, "1.10");
    EXPECT_EQ(second.downloadLink, QUrl("https://tallowind.example/tallowind-1.10.tar.gz"));
    // Only web addresses are offered to the browser.
    EXPECT_TRUE(result.items[2].downloadLink.isEmpty());
}

TEST(Appcast, MalformedOrForeignDocumentsAreErrorsNotEmptyFeeds)
{
    for (const char* document :
        {"<rss><channel><item><title>cut off", "<html><body>Not found</body></html>", "", "\x89PNG binary"}) {
        SCOPED_TRACE(document);
        const AppcastParseResult broken = Appcast::parse(document);
        EXPECT_TRUE(broken.items.empty());
        EXPECT_TRUE(broken.error.startsWith("The update feed could not be read")) << broken.error.toStdString();
        // The parser's wording is for the log, never for the user.
        EXPECT_FALSE(broken.detail.isEmpty());
        EXPECT_FALSE(broken.error.contains(broken.detail));
    }
    const AppcastParseResult empty = Appcast::parse("<rss version=\"2.0\"><channel><title>t</title></channel></rss>");
    EXPECT_TRUE(empty.error.isEmpty());
    EXPECT_TRUE(empty.items.empty());
}

TEST(Appcast, NotesBecomeRichTextWithoutLosingTheirShape)
{
    const QString markup = "<h2>What's new</h2><ul><li>Faster start</li></ul>";
    EXPECT_EQ(Appcast::notesAsHtml("  " + markup + "\n"), markup) << "markup is the feed's own";

    const QString plain = Appcast::notesAsHtml("What's new\n\n- Faster start\n- Fixes for 1 < 2 & more");
    EXPECT_EQ(plain.count("<p>"), 2) << plain.toStdString();
    EXPECT_TRUE(plain.contains("- Faster start<br>- Fixes")) << plain.toStdString();
    EXPECT_TRUE(plain.contains("1 &lt; 2 &amp; more")) << "plain text is never read as markup";
    EXPECT_TRUE(Appcast::notesAsHtml(" \n ").isEmpty());
}

TEST(Appcast, VersionsCompareByNumberNotByText)
{
    EXPECT_GT(Appcast::compareVersions("1.10", "1.9"), 0);
    EXPECT_EQ(Appcast::compareVersions("1.2", "1.2.0"), 0);
    EXPECT_EQ(Appcast::compareVersions("v2.0", "2"), 0);
    EXPECT_LT(Appcast::compareVersions("0.1.0", "0.1.1"), 0);
    EXPECT_LT(Appcast::compareVersions("1.2-beta", "1.2"), 0);
    EXPECT_GT(Appcast::compareVersions("1.2-rc", "1.2-beta"), 0);
    EXPECT_GT(Appcast::compareVersions("10", "9.99"), 0);
}

TEST(Appcast, PicksTheNewestItemNewerThanTheRunningVersion)
{
    const auto items = Appcast::parse(feed).items;
    ASSERT_TRUE(Appcast::newerThan(items, "1.2").has_value());
    EXPECT_EQ(Appcast::newerThan(items, "1.2")->version, "1.10");
    EXPECT_EQ(Appcast::newerThan(items, "0.1.0")->version, "1.10");
    EXPECT_FALSE(Appcast::newerThan(items, "1.10").has_value());
    EXPECT_FALSE(Appcast::newerThan(items, "2.0").has_value());
}
