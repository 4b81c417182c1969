#include "downloads/ModelDownloadStream.h"

std::optional<ModelDownloadProgress> ModelDownloadStream::next()
{
    if (buffered.isEmpty())
        return std::nullopt;
    return buffered.takeFirst();
}

QList<ModelDownloadProgress> ModelDownloadStream::takeAll()
{
    return std::exchange(buffered, {});
}

void ModelDownloadStream::yield(const ModelDownloadProgress& value)
{
    if (ended)
        return;
    buffered.append(value);
    emit valueAvailable();
}

void ModelDownloadStream::finish(std::optional<TallowindError> error)
{
    if (ended)
        return;
    ended = true;
    failure = std::move(error);
    emit finished();
}
