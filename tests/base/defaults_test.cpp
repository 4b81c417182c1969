#include "base/Defaults.h"
#include "support/SettingsReset.h"

#include <QFile>
#include <QStandardPaths>

using DefaultsStore = DefaultsTest;

TEST_F(DefaultsStore, TypedValuesSurviveTheFile)
{
    Defaults::setValue("Flag", true);
    Defaults::setValue("Count", 42);
    Defaults::setValue("Ratio", 1.0);
    Defaults::setValue("Name", QString("large-v3"));
    Defaults::setValue("Blob", QByteArray("\x00\x01[]", 4));
    Defaults::setValue("List", QVariantList{1, QString("a"), false});

    // Read through the file, not the in-memory cache of the writer.
    QSettings::SettingsMap map;
    QFile file(Defaults::open()->fileName());
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    ASSERT_TRUE(Defaults::decode(file.readAll(), map));

    EXPECT_EQ(map["Flag"].typeId(), QMetaType::Bool);
    EXPECT_EQ(map["Count"].typeId(), QMetaType::Int);
    EXPECT_EQ(map["Ratio"].typeId(), QMetaType::Double);
    EXPECT_EQ(map["Ratio"].toDouble(), 1.0);
    EXPECT_EQ(map["Name"].typeId(), QMetaType::QString);
    EXPECT_EQ(map["Blob"].toByteArray(), QByteArray("\x00\x01[]", 4));
    EXPECT_EQ(map["Blob"].typeId(), QMetaType::QByteArray);
    EXPECT_EQ(map["List"].toList().size(), 3);
}

TEST_F(DefaultsStore, FileLivesUnderConfigHome)
{
    const QString expected =
        QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) + "/Tallowind/Tallowind.json";
    EXPECT_EQ(Defaults::open()->fileName(), expected);
}

TEST(DefaultsFormat, RejectsMalformedJson)
{
    QSettings::SettingsMap map;
    EXPECT_FALSE(Defaults::decode("{not json", map));
    EXPECT_FALSE(Defaults::decode("[1,2]", map));
    EXPECT_TRUE(Defaults::decode("", map));
}

TEST_F(DefaultsStore, RemoveForgetsTheKey)
{
    Defaults::setValue("Gone", 3);
    ASSERT_TRUE(Defaults::contains("Gone"));
    Defaults::remove("Gone");
    EXPECT_FALSE(Defaults::contains("Gone"));
    EXPECT_FALSE(Defaults::value("Gone").isValid());
}
