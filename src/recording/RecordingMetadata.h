#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QString>

#include <cstdint>
#include <optional>

// One saved recording's entry in the recordings index "metadata.json".
struct RecordingMetadata {
    QString filename; // name of the audio file inside the recordings folder
    double timestamp = 0.0; // time of the save: seconds since 2001-01-01 00:00:00 UTC
    double duration = 0.0; // seconds: samples / sampleRate
    double sampleRate = 0.0; // samples per second of the audio file
    QString transcription;
    QString modelUsed; // model identifier or "unknown"
    int64_t fileSize = 0; // bytes, as read right after writing; 0 when unknown

    bool operator==(const RecordingMetadata&) const = default;

    // The index stores dates as seconds since 2001-01-01 00:00:00 UTC, which
    // is Unix time minus this many seconds.
    static constexpr double referenceDateOffset = 978307200.0;
    static double timestampFrom(const QDateTime& moment);
    QDateTime date() const;
};

// The index codec. Every one of the seven keys is required with its JSON
// type; other keys are ignored. One bad record makes the whole index fail.
namespace RecordingsIndexCodec {

struct Decoded {
    std::optional<QList<RecordingMetadata>> entries; // empty when the bytes are not an index
    QString error;
};

Decoded decode(const QByteArray& bytes);
QByteArray encode(const QList<RecordingMetadata>& entries);
// One record as encode() writes it inside the array, and the array made of
// such records: joinRecords(each encodeRecord) equals encode(all), so an
// index can be rewritten without encoding the entries it already had.
QByteArray encodeRecord(const RecordingMetadata& entry);
QByteArray joinRecords(const QList<QByteArray>& records);

} // namespace RecordingsIndexCodec
