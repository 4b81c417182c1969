#pragma once

#include "core/config/TallowindError.h"
#include "downloads/ModelDownloadProgress.h"

#include <QList>
#include <QObject>

#include <optional>

// The progress values of one streamed download, buffered until the consumer
// takes them, then its end: normal, or with an error. Main thread only.
class ModelDownloadStream final : public QObject {
    Q_OBJECT

public:
    // The oldest value not yet taken, if any.
    std::optional<ModelDownloadProgress> next();
    // Every value not yet taken, oldest first.
    QList<ModelDownloadProgress> takeAll();
    bool hasEnded() const { return ended; }
    // Set when the stream ended with an error.
    const std::optional<TallowindError>& error() const { return failure; }

    // The producer's side.
    void yield(const ModelDownloadProgress& value);
    void finish(std::optional<TallowindError> error = std::nullopt);

signals:
    void valueAvailable();
    void finished();

private:
    QList<ModelDownloadProgress> buffered;
    std::optional<TallowindError> failure;
    bool ended = false;
};
