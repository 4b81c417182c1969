#pragma once

#include "core/speech/WhisperModel.h"

#include <QList>
#include <QMetaType>
#include <QString>

// One row of the popover's model picker: a snapshot of a catalogue model
// with its active and downloaded flags at the time the rows were built. Rows
// are never updated in place; the list is rebuilt instead.
struct WhisperModelInfo {
    QString id;
    QString displayName;
    QString estimatedSize;
    QString description;
    bool isEnglishOnly = false;
    bool isActive = false;
    bool isDownloaded = false;
    WhisperModel whisperModel = WhisperModel::largeV3TurboQ5;

    // The catalogue texts of `model` with the two flags given.
    static WhisperModelInfo make(WhisperModel model, bool isActive, bool isDownloaded);

    friend bool operator==(const WhisperModelInfo&, const WhisperModelInfo&) = default;
};

Q_DECLARE_METATYPE(WhisperModelInfo)
