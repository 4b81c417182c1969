#include "base/Defaults.h"
#include "base/Dispatch.h"
#include "support/SettingsReset.h"

#include <QFile>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QThread>

#include <thread>

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

TEST_F(DefaultsStore, EveryWriteIsAnnouncedOnTheMainThread)
{
    QSignalSpy changed(&Defaults::changes(), &Defaults::ChangeSignal::changed);
    Defaults::setValue("Flag", true);
    EXPECT_EQ(changed.count(), 1) << "announced before the write returns";
    Defaults::setValue("Flag", true);
    EXPECT_EQ(changed.count(), 2) << "an equal value too";
    Defaults::remove("Flag");
    EXPECT_EQ(changed.count(), 3);
    ASSERT_TRUE(Dispatch::drainMainQueue());
    EXPECT_EQ(changed.count(), 3) << "and not again later";

    // Several edits through one handle are announced once it syncs.
    {
        auto store = Defaults::open();
        store->setValue("A", 1);
        store->remove("B");
        EXPECT_EQ(changed.count(), 3);
        store->sync();
        EXPECT_EQ(changed.count(), 4);
        store->sync();
        EXPECT_EQ(changed.count(), 4) << "nothing new to announce";
        store->setValue("C", 2);
    }
    EXPECT_EQ(changed.count(), 5) << "closing the handle syncs and announces";

    // Reading announces nothing.
    (void)Defaults::value("A");
    EXPECT_EQ(changed.count(), 5);
}

TEST_F(DefaultsStore, AWriteOnAnotherThreadIsAnnouncedOnTheMainThread)
{
    std::vector<QThread*> threads;
    const QMetaObject::Connection connection = QObject::connect(&Defaults::changes(), &Defaults::ChangeSignal::changed,
        [&threads] { threads.push_back(QThread::currentThread()); });

    std::thread writer([] { Defaults::setValue("FromWorker", 7); });
    writer.join();
    EXPECT_TRUE(threads.empty());
    ASSERT_TRUE(Dispatch::drainMainQueue());
    QObject::disconnect(connection);

    ASSERT_EQ(threads.size(), 1U);
    EXPECT_EQ(threads[0], QThread::currentThread());
    EXPECT_EQ(Defaults::value("FromWorker").toInt(), 7);
}
