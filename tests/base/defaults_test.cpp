#include "base/Defaults.h"
#include "base/Dispatch.h"
#include "support/EventLoop.h"
#include "support/LogCapture.h"
#include "support/SettingsReset.h"
#include "support/SmallDisk.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
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

TEST_F(DefaultsStore, AListenerMayReadTheStoreWhileAWriteIsAnnounced)
{
    QVariant seen;
    const QMetaObject::Connection connection = QObject::connect(
        &Defaults::changes(), &Defaults::ChangeSignal::changed, [&seen] { seen = Defaults::value("Model"); });
    Defaults::setValue("Model", QStringLiteral("large-v3"));
    QObject::disconnect(connection);
    EXPECT_EQ(seen.toString(), "large-v3");
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

// A hand-edited file with one trailing comma must not lose every setting at
// the next write: it is kept aside and the store starts from defaults.
TEST_F(DefaultsStore, UnreadableFileIsKeptAsideAndTheStoreStartsEmpty)
{
    const QString path = Defaults::open()->fileName();
    const QString folder = QFileInfo(path).absolutePath();
    const QByteArray broken = "{\n  \"WhisperBeamSize\": 5,\n  \"Language\": \"de\",\n}\n";
    ASSERT_TRUE(QDir().mkpath(folder));
    const auto asideCopies = [&] { return QDir(folder).entryList({"Tallowind.json.unreadable-*"}, QDir::Files); };
    for (const QString& name : asideCopies())
        QFile::remove(folder + "/" + name);
    {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(broken);
    }

    LogCapture log;
    EXPECT_FALSE(Defaults::value("WhisperBeamSize").isValid());
    Defaults::setValue("Language", QString("en"));

    const QStringList copies = asideCopies();
    ASSERT_EQ(copies.size(), 1);
    QFile kept(folder + "/" + copies.front());
    ASSERT_TRUE(kept.open(QIODevice::ReadOnly));
    EXPECT_EQ(kept.readAll(), broken);
    EXPECT_EQ(Defaults::value("Language").toString(), "en");
    EXPECT_FALSE(Defaults::contains("WhisperBeamSize"));
    ASSERT_EQ(log.outLines().size(), 1);
    EXPECT_EQ(log.outLines().front(),
        "Settings file " + path + " could not be read (not valid settings JSON); kept it as " + copies.front()
            + " and started from defaults");
    QFile::remove(kept.fileName());
}

TEST_F(DefaultsStore, FailedWritesAreReported)
{
    const QString path = Defaults::open()->fileName();
    LogCapture log;
    {
        UnwritableSettings refused;
        Defaults::setValue("Lost", 2);
    }
    EXPECT_EQ(log.outLines().filter("Failed to save settings to " + path + ": ").size(), 1)
        << log.outLines().join("\n").toStdString();
}

// A full disk must not lose what the user set: the value reads back at once,
// and the next write that fits, or a plain retry, puts it in the file.
TEST_F(DefaultsStore, AFullDiskIsNamedAndWhatItRefusedIsWrittenLater)
{
    const QString path = Defaults::open()->fileName();
    SmallDisk disk(QFileInfo(path).absolutePath(), 64 * 1024);
    if (!disk.mounted())
        GTEST_SKIP() << "a tmpfs cannot be mounted here";
    const auto onDisk = [&] {
        QSettings::SettingsMap map;
        QFile file(path);
        if (file.open(QIODevice::ReadOnly))
            Defaults::decode(file.readAll(), map);
        return map;
    };
    QSignalSpy unsaved(&Defaults::changes(), &Defaults::ChangeSignal::unsavedChanged);
    LogCapture log;
    Defaults::setValue("Shortcut", QString("Alt+W"));
    disk.fill();

    Defaults::setValue("Words", QStringList{"Tallowind"});
    Defaults::setValue("Sounds", false);
    EXPECT_EQ(Defaults::unsavedReason(), "no space left on the device");
    EXPECT_EQ(log.outLines(),
        QStringList{"Failed to save settings to " + path
            + ": no space left on the device; kept them to write again with the next change"})
        << "named once, not at every write";
    EXPECT_EQ(Defaults::value("Words").toStringList(), QStringList{"Tallowind"});
    EXPECT_TRUE(Defaults::contains("Sounds"));
    EXPECT_FALSE(onDisk().contains("Words"));
    EXPECT_FALSE(Defaults::saveUnsaved()) << "still full";

    disk.freeSpace();
    Defaults::setValue("Language", QString("de"));
    QSettings::SettingsMap stored = onDisk();
    EXPECT_EQ(stored.value("Words").toStringList(), QStringList{"Tallowind"});
    EXPECT_EQ(stored.value("Sounds"), QVariant(false));
    EXPECT_EQ(stored.value("Language").toString(), "de");
    EXPECT_EQ(stored.value("Shortcut").toString(), "Alt+W");
    EXPECT_TRUE(Defaults::unsavedReason().isEmpty());
    ASSERT_TRUE(pumpUntil([&] { return unsaved.count() >= 2; })) << "announced when it starts and when it ends";

    // Quitting on a still full disk loses them: the log names them, and why.
    disk.fill();
    Defaults::setValue("Words", QStringList{"Tallowind", "whisper"});
    Defaults::remove("Sounds");
    ASSERT_TRUE(QMetaObject::invokeMethod(QCoreApplication::instance(), "aboutToQuit", Qt::DirectConnection));
    EXPECT_EQ(log.outLines().filter("Quitting").join("\n"),
        "Quitting with settings that could not be saved to " + path
            + ": no space left on the device; lost: Sounds, Words");
    disk.freeSpace();
    ASSERT_TRUE(Defaults::saveUnsaved());

    // Quitting tries once more, with no new change.
    disk.fill();
    Defaults::remove("Language");
    disk.freeSpace();
    ASSERT_TRUE(QMetaObject::invokeMethod(QCoreApplication::instance(), "aboutToQuit", Qt::DirectConnection));
    EXPECT_TRUE(Defaults::unsavedReason().isEmpty());
    EXPECT_FALSE(onDisk().contains("Language"));
}
