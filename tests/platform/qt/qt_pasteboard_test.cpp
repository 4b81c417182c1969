#include "platform/qt/QtPasteboard.h"

#include <gtest/gtest.h>

#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>

namespace {

void putOnClipboard(const PasteboardContents& contents)
{
    auto* data = new QMimeData;
    for (const auto& [format, bytes] : contents)
        data->setData(format, bytes);
    QGuiApplication::clipboard()->setMimeData(data);
}

QByteArray clipboardData(const QString& format)
{
    const QMimeData* data = QGuiApplication::clipboard()->mimeData();
    return data ? data->data(format) : QByteArray();
}

// Everything the clipboard offers, read format by format.
std::optional<PasteboardContents> copyAll(Pasteboard& board)
{
    const auto formats = board.offeredFormats();
    if (!formats)
        return std::nullopt;
    PasteboardContents contents;
    for (const QString& format : *formats)
        contents.append({format, board.read(format)});
    return contents;
}

} // namespace

TEST(QtPasteboard, CopyAndRestoreKeepEveryFormatButSelectionPseudoTargets)
{
    const PasteboardContents user = {
        {QStringLiteral("text/plain"), QByteArray("mine")},
        {QStringLiteral("text/html"), QByteArray("<i>mine</i>")},
        {QStringLiteral("image/png"), QByteArray("\x89PNG\r\n\x1a\n\0\0pixels", 16)},
        {QStringLiteral("TARGETS"), QByteArray("pseudo")},
    };
    putOnClipboard(user);
    QtPasteboard board;
    const auto saved = copyAll(board);
    ASSERT_TRUE(saved.has_value());
    PasteboardContents expected = user;
    expected.removeLast();
    EXPECT_EQ(*saved, expected);

    ASSERT_TRUE(board.setText(QStringLiteral("dictated ")));
    board.restore(*saved);
    EXPECT_FALSE(board.holdsPastedText());
    EXPECT_EQ(copyAll(board), expected);
    EXPECT_EQ(clipboardData(QStringLiteral("image/png")), user[2].second);

    board.restore({});
    const auto cleared = copyAll(board);
    ASSERT_TRUE(cleared.has_value());
    EXPECT_TRUE(cleared->isEmpty());
}

TEST(QtPasteboard, PastedTextIsOfferedAsUtf8AndCountsEachRequest)
{
    QtPasteboard board;
    const QString text = QString::fromUtf8("grüße 👋 ");
    ASSERT_TRUE(board.setText(text));
    EXPECT_TRUE(board.holdsPastedText());
    EXPECT_EQ(board.fetchCount(), 0u);

    // Reading it plays the part of the target application.
    EXPECT_EQ(QGuiApplication::clipboard()->text(), text);
    EXPECT_EQ(clipboardData(QStringLiteral("text/plain;charset=utf-8")), text.toUtf8());
    EXPECT_EQ(clipboardData(QStringLiteral("x-kde-passwordManagerHint")), QByteArray("secret"));
    EXPECT_GE(board.fetchCount(), 2u);
    EXPECT_LE(board.lastFetchTime(), Pasteboard::Clock::now());
    EXPECT_GT(board.lastFetchTime().time_since_epoch().count(), 0);

    // Someone else copies: the clipboard no longer holds our text.
    putOnClipboard({{QStringLiteral("text/plain"), QByteArray("theirs")}});
    EXPECT_FALSE(board.holdsPastedText());
}
