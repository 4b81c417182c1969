#include "base/FileAside.h"
#include "recording/RecordingsIndex.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTimeZone>

#include <gtest/gtest.h>

namespace {

RecordingMetadata sampleEntry(const QString& name = "recording_2025-03-07_14-05-09-042.wav")
{
    RecordingMetadata entry;
    entry.filename = name;
    entry.timestamp = 763049109.0421234;
    entry.duration = 1.0;
    entry.sampleRate = 16000;
    entry.transcription = QStringLiteral("Grüße, \"quoted\"\nline two 🎙");
    entry.modelUsed = "large-v3-turbo-q5_0";
    entry.fileSize = (int64_t{1} << 53) + 1; // beyond exact doubles
    return entry;
}

QJsonObject sampleObject()
{
    return QJsonObject{{"filename", "a.wav"}, {"timestamp", 1.5}, {"duration", 1.0}, {"sampleRate", 16000},
        {"transcription", "text"}, {"modelUsed", "unknown"}, {"fileSize", 64058}};
}

QByteArray arrayOf(const QJsonObject& object)
{
    return QJsonDocument(QJsonArray{object}).toJson(QJsonDocument::Compact);
}

void writeFile(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(bytes);
}

QByteArray readFile(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace

TEST(RecordingsIndexCodec, RoundTripKeepsEveryFieldExactly)
{
    const QList<RecordingMetadata> entries{sampleEntry("a.wav"), sampleEntry("b.wav")};
    const QByteArray bytes = RecordingsIndexCodec::encode(entries);
    EXPECT_FALSE(bytes.contains('\n')); // compact

    const auto decoded = RecordingsIndexCodec::decode(bytes);
    ASSERT_TRUE(decoded.entries) << decoded.error.toStdString();
    EXPECT_EQ(*decoded.entries, entries);

    const QJsonObject first = QJsonDocument::fromJson(bytes).array().at(0).toObject();
    EXPECT_EQ(first.keys().size(), 7);
    EXPECT_TRUE(first.value("timestamp").isDouble());
    EXPECT_TRUE(first.value("fileSize").isDouble());
}

TEST(RecordingsIndexCodec, TimestampCountsSecondsFromTheYear2001)
{
    const QDateTime newYear2025(QDate(2025, 1, 1), QTime(0, 0), QTimeZone::utc());
    EXPECT_EQ(RecordingMetadata::timestampFrom(newYear2025), 757382400.0);
    EXPECT_EQ(RecordingMetadata::timestampFrom(QDateTime(QDate(2001, 1, 1), QTime(0, 0), QTimeZone::utc())), 0.0);

    RecordingMetadata entry;
    entry.timestamp = 757382400.25;
    EXPECT_EQ(entry.date(), newYear2025.addMSecs(250));
}

TEST(RecordingsIndexCodec, ExtraKeysAreIgnoredAndIntegralNumbersAreAccepted)
{
    QJsonObject object = sampleObject();
    object.insert("comment", "not ours");
    object.insert("fileSize", 64058.0);
    const auto decoded = RecordingsIndexCodec::decode(arrayOf(object));
    ASSERT_TRUE(decoded.entries);
    ASSERT_EQ(decoded.entries->size(), 1);
    EXPECT_EQ(decoded.entries->at(0).fileSize, 64058);
    EXPECT_EQ(decoded.entries->at(0).sampleRate, 16000.0);
    EXPECT_FALSE(RecordingsIndexCodec::encode(*decoded.entries).contains("comment"));

    const auto empty = RecordingsIndexCodec::decode("[]");
    ASSERT_TRUE(empty.entries);
    EXPECT_TRUE(empty.entries->isEmpty());
}

TEST(RecordingsIndexCodec, OneBadRecordMakesTheWholeIndexUnreadable)
{
    const QStringList keys{"filename", "timestamp", "duration", "sampleRate", "transcription", "modelUsed", "fileSize"};
    for (const QString& key : keys) {
        QJsonObject missing = sampleObject();
        missing.remove(key);
        const QByteArray bytes = QJsonDocument(QJsonArray{sampleObject(), missing}).toJson();
        EXPECT_FALSE(RecordingsIndexCodec::decode(bytes).entries) << "without " << key.toStdString();
    }

    const QList<QPair<QString, QJsonValue>> wrongTypes{
        {"timestamp", "2025-01-01"},
        {"filename", 3},
        {"transcription", QJsonValue::Null},
        {"duration", true},
        {"fileSize", 1.5},
        {"fileSize", "64058"},
        {"fileSize", 1e300},
        {"sampleRate", QJsonArray{}},
        {"modelUsed", QJsonObject{}},
    };
    for (const auto& [key, value] : wrongTypes) {
        QJsonObject object = sampleObject();
        object.insert(key, value);
        const auto decoded = RecordingsIndexCodec::decode(arrayOf(object));
        EXPECT_FALSE(decoded.entries) << key.toStdString();
        EXPECT_FALSE(decoded.error.isEmpty());
    }

    for (const QByteArray& bytes : {QByteArray(), QByteArray("{}"), QByteArray("[1]"), QByteArray("[{]"),
             QByteArray("null"), QByteArray("[[]]"), QByteArray("[{\"timestamp\":1e999}]")})
        EXPECT_FALSE(RecordingsIndexCodec::decode(bytes).entries) << bytes.toStdString();
}

TEST(RecordingsIndexCodec, SurvivesRandomAndTruncatedInput)
{
    const QByteArray valid = RecordingsIndexCodec::encode({sampleEntry("a.wav"), sampleEntry("b.wav")});
    for (qsizetype length = 0; length < valid.size(); ++length)
        EXPECT_FALSE(RecordingsIndexCodec::decode(valid.left(length)).entries) << length;

    QRandomGenerator random(20261207);
    for (int round = 0; round < 2000; ++round) {
        QByteArray bytes = valid;
        // Flip a few bytes of a valid index, or use pure noise.
        if (round % 2 == 0) {
            for (int i = 0; i < 1 + round % 5; ++i)
                bytes[random.bounded(int(bytes.size()))] = char(random.bounded(256));
        } else {
            bytes.resize(random.bounded(300));
            for (char& c : bytes)
                c = char(random.bounded(256));
        }
        (void)RecordingsIndexCodec::decode(bytes); // must simply not crash
    }
}

TEST(RecordingsIndexFile, AbsentIsEmptyAndUnreadableCarriesAReason)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(RecordingsIndex::fileName);
    RecordingsIndex::Contents absent = RecordingsIndex::load(path);
    EXPECT_FALSE(absent.unreadable);
    EXPECT_TRUE(absent.entries.isEmpty());

    writeFile(path, "");
    RecordingsIndex::Contents empty = RecordingsIndex::load(path);
    EXPECT_TRUE(empty.unreadable);
    EXPECT_FALSE(empty.error.isEmpty());

    ASSERT_TRUE(QDir(dir.path()).mkdir("dir.json"));
    EXPECT_TRUE(RecordingsIndex::load(dir.filePath("dir.json")).unreadable);
}

TEST(RecordingsIndexFile, WriteReplacesWholeAndLeavesNoTemporaryFiles)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(RecordingsIndex::fileName);
    QString error;
    ASSERT_TRUE(RecordingsIndex::write(path, {sampleEntry("a.wav"), sampleEntry("b.wav")}, error));
    ASSERT_TRUE(RecordingsIndex::write(path, {sampleEntry("c.wav")}, error));
    const RecordingsIndex::Contents contents = RecordingsIndex::load(path);
    ASSERT_EQ(contents.entries.size(), 1);
    EXPECT_EQ(contents.entries.at(0).filename, "c.wav");
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files), QStringList{RecordingsIndex::fileName});

    EXPECT_FALSE(RecordingsIndex::write(dir.filePath("missing/metadata.json"), {}, error));
    EXPECT_FALSE(error.isEmpty());
}

TEST(RecordingsIndexFile, MoveAsideKeepsTheBytesAndNeverClobbersAnEarlierCopy)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(RecordingsIndex::fileName);
    const QDateTime now(QDate(2026, 12, 7), QTime(5, 0, 1, 2));
    QString error;

    writeFile(path, "first broken");
    const QString first = moveFileAside(path, now, error);
    writeFile(path, "second broken");
    const QString second = moveFileAside(path, now, error);

    ASSERT_FALSE(first.isEmpty());
    ASSERT_FALSE(second.isEmpty());
    EXPECT_NE(first, second);
    EXPECT_TRUE(first.endsWith("metadata.json.unreadable-20261207-050001-002"));
    EXPECT_EQ(readFile(first), "first broken");
    EXPECT_EQ(readFile(second), "second broken");
    EXPECT_FALSE(QFile::exists(path));

    EXPECT_TRUE(moveFileAside(path, now, error).isEmpty());
    EXPECT_FALSE(error.isEmpty());
}
