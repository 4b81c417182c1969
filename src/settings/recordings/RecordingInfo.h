#pragma once

#include "recording/RecordingMetadata.h"

#include <QString>
#include <QUuid>

// One saved recording as the recordings-settings list shows it: its index
// record, where its file lies, and the record's texts for display. Every
// record made gets a new identity, even for the same recording.
struct RecordingInfo {
    RecordingInfo(const RecordingMetadata& metadata, const QString& filePath);

    QUuid id;
    RecordingMetadata metadata;
    QString filePath;

    // The local date and time of the recording.
    QString formattedDate() const;
    // Minutes and seconds, abbreviated ("1m 15s", "42s"); "0s" for a
    // duration that is not a positive number.
    QString formattedDuration() const;
    // The file size in binary units.
    QString formattedSize() const;
};
