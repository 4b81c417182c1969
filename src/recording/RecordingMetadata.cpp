#include "recording/RecordingMetadata.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonParseError>
#include <QJsonValue>

#include <cmath>

double RecordingMetadata::timestampFrom(const QDateTime& moment)
{
    return static_cast<double>(moment.toMSecsSinceEpoch()) / 1000.0 - referenceDateOffset;
}

QDateTime RecordingMetadata::date() const
{
    return QDateTime::fromMSecsSinceEpoch(std::llround((timestamp + referenceDateOffset) * 1000.0), Qt::UTC);
}

namespace RecordingsIndexCodec {
namespace {

const QString kFilename = QStringLiteral("filename");
const QString kTimestamp = QStringLiteral("timestamp");
const QString kDuration = QStringLiteral("duration");
const QString kSampleRate = QStringLiteral("sampleRate");
const QString kTranscription = QStringLiteral("transcription");
const QString kModelUsed = QStringLiteral("modelUsed");
const QString kFileSize = QStringLiteral("fileSize");

QString missingOrWrong(qsizetype index, const QString& key, const char* expected)
{
    return QStringLiteral("record %1: \"%2\" is missing or not %3").arg(index).arg(key, QLatin1String(expected));
}

bool readString(const QJsonObject& object, const QString& key, QString& out)
{
    const QJsonValue value = object.value(key);
    if (!value.isString())
        return false;
    out = value.toString();
    return true;
}

bool readNumber(const QJsonObject& object, const QString& key, double& out)
{
    const QJsonValue value = object.value(key);
    if (!value.isDouble() || !std::isfinite(value.toDouble()))
        return false;
    out = value.toDouble();
    return true;
}

bool readInteger(const QJsonObject& object, const QString& key, int64_t& out)
{
    const QJsonValue value = object.value(key);
    if (!value.isDouble())
        return false;
    // toInteger answers its fallback for a fractional or out-of-range number;
    // two different fallbacks tell that apart from a real value.
    const qint64 a = value.toInteger(0);
    const qint64 b = value.toInteger(1);
    if (a != b)
        return false;
    out = a;
    return true;
}

} // namespace

Decoded decode(const QByteArray& bytes)
{
    QJsonParseError parseError;
    const QJsonDocument document = QJsonDocument::fromJson(bytes, &parseError);
    if (parseError.error != QJsonParseError::NoError)
        return {std::nullopt, QStringLiteral("%1 at offset %2").arg(parseError.errorString()).arg(parseError.offset)};
    if (!document.isArray())
        return {std::nullopt, QStringLiteral("the index is not a JSON array")};

    const QJsonArray array = document.array();
    QList<RecordingMetadata> entries;
    entries.reserve(array.size());
    for (qsizetype i = 0; i < array.size(); ++i) {
        if (!array.at(i).isObject())
            return {std::nullopt, QStringLiteral("record %1 is not an object").arg(i)};
        const QJsonObject object = array.at(i).toObject();
        RecordingMetadata entry;
        if (!readString(object, kFilename, entry.filename))
            return {std::nullopt, missingOrWrong(i, kFilename, "a string")};
        if (!readNumber(object, kTimestamp, entry.timestamp))
            return {std::nullopt, missingOrWrong(i, kTimestamp, "a number")};
        if (!readNumber(object, kDuration, entry.duration))
            return {std::nullopt, missingOrWrong(i, kDuration, "a number")};
        if (!readNumber(object, kSampleRate, entry.sampleRate))
            return {std::nullopt, missingOrWrong(i, kSampleRate, "a number")};
        if (!readString(object, kTranscription, entry.transcription))
            return {std::nullopt, missingOrWrong(i, kTranscription, "a string")};
        if (!readString(object, kModelUsed, entry.modelUsed))
            return {std::nullopt, missingOrWrong(i, kModelUsed, "a string")};
        if (!readInteger(object, kFileSize, entry.fileSize))
            return {std::nullopt, missingOrWrong(i, kFileSize, "an integer")};
        entries.append(std::move(entry));
    }
    return {std::move(entries), {}};
}

namespace {

QJsonObject recordObject(const RecordingMetadata& entry)
{
    return QJsonObject{
        {kFilename, entry.filename},
        {kTimestamp, entry.timestamp},
        {kDuration, entry.duration},
        {kSampleRate, entry.sampleRate},
        {kTranscription, entry.transcription},
        {kModelUsed, entry.modelUsed},
        {kFileSize, static_cast<qint64>(entry.fileSize)},
    };
}

} // namespace

QByteArray encode(const QList<RecordingMetadata>& entries)
{
    QJsonArray array;
    for (const RecordingMetadata& entry : entries)
        array.append(recordObject(entry));
    return QJsonDocument(array).toJson(QJsonDocument::Compact);
}

QByteArray encodeRecord(const RecordingMetadata& entry)
{
    return QJsonDocument(recordObject(entry)).toJson(QJsonDocument::Compact);
}

QByteArray joinRecords(const QList<QByteArray>& records)
{
    qsizetype length = 2 + (records.isEmpty() ? 0 : records.size() - 1);
    for (const QByteArray& record : records)
        length += record.size();
    QByteArray bytes;
    bytes.reserve(length);
    bytes += '[';
    for (qsizetype i = 0; i < records.size(); ++i) {
        if (i > 0)
            bytes += ',';
        bytes += records.at(i);
    }
    bytes += ']';
    return bytes;
}

} // namespace RecordingsIndexCodec
