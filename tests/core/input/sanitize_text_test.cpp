#include "core/input/TextInsertion.h"

#include <gtest/gtest.h>

namespace {

QString repeated(const QString& piece, int times)
{
    QString out;
    for (int i = 0; i < times; ++i)
        out += piece;
    return out;
}

struct SanitizeCase {
    const char* name;
    QString input;
    QString expected;
};

} // namespace

TEST(SanitizeText, KeepsPrintableClassesAndDropsInvisibleOnes)
{
    const QString family =
        QString::fromUtf8("\xF0\x9F\x91\xA8\xE2\x80\x8D\xF0\x9F\x91\xA9\xE2\x80\x8D\xF0\x9F\x91\xA7");
    const QString flag = QString::fromUtf8("\xF0\x9F\x87\xA9\xF0\x9F\x87\xAA");
    const QString decomposedE = QStringLiteral("e") + QChar(0x0301);
    const SanitizeCase cases[] = {
        {"zero-width space", QStringLiteral("a") + QChar(0x200B) + QStringLiteral("b"), QStringLiteral("ab")},
        {"byte-order mark", QChar(0xFEFF) + QStringLiteral("hi"), QStringLiteral("hi")},
        {"bell", QStringLiteral("x") + QChar(0x07) + QStringLiteral("y"), QStringLiteral("xy")},
        {"escape and delete",
            QStringLiteral("a\x1b\x7f"
                           "b"),
            QStringLiteral("ab")},
        {"private use", QStringLiteral("a") + QChar(0xE000) + QStringLiteral("b"), QStringLiteral("ab")},
        {"unassigned", QStringLiteral("a") + QChar(0x0378) + QStringLiteral("b"), QStringLiteral("ab")},
        {"tabs and line breaks", QStringLiteral("a\tb\nc\r\nd"), QStringLiteral("a\tb\nc\r\nd")},
        {"non-breaking and ideographic spaces",
            QStringLiteral("a") + QChar(0x00A0) + QChar(0x3000) + QStringLiteral("b"),
            QStringLiteral("a") + QChar(0x00A0) + QChar(0x3000) + QStringLiteral("b")},
        {"accents, digits, punctuation, currency", QString::fromUtf8("Café 42, ¿qué? 9€ $5 ¥ ½ Ⅻ"),
            QString::fromUtf8("Café 42, ¿qué? 9€ $5 ¥ ½ Ⅻ")},
        {"decomposed accent stays with its letter", decomposedE, decomposedE},
        {"emoji sequences stay whole", family + flag + QString::fromUtf8("👍🏽"),
            family + flag + QString::fromUtf8("👍🏽")},
        {"other scripts", QString::fromUtf8("日本語 Ελληνικά हिन्दी"), QString::fromUtf8("日本語 Ελληνικά हिन्दी")},
        {"empty", QString(), QString()},
    };
    for (const auto& c : cases)
        EXPECT_EQ(TextInsertion::sanitizeText(c.input), c.expected) << c.name;
}

TEST(SanitizeText, CapsAtTheMaximumLengthInCharacters)
{
    const int max = AppConfig::maxTextLength;
    // The caller appends one space before cleaning; it counts, and goes first.
    const QString exactly = repeated(QStringLiteral("a"), max - 1) + QStringLiteral(" ");
    EXPECT_EQ(TextInsertion::sanitizeText(exactly), exactly);

    const QString full = repeated(QStringLiteral("b"), max);
    EXPECT_EQ(TextInsertion::sanitizeText(full + QStringLiteral(" ")), full);

    EXPECT_EQ(
        TextInsertion::sanitizeText(repeated(QStringLiteral("c"), max + 500)), repeated(QStringLiteral("c"), max));

    // Characters, not UTF-16 units: each of these is two or more units.
    const QString emoji = QString::fromUtf8("👍🏽");
    EXPECT_EQ(TextInsertion::sanitizeText(repeated(emoji, max + 1)), repeated(emoji, max));

    // Dropped characters do not count towards the cap.
    const QString padded = repeated(QStringLiteral("d") + QChar(0x200B), max);
    EXPECT_EQ(TextInsertion::sanitizeText(padded), repeated(QStringLiteral("d"), max));
}
