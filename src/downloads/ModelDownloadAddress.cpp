#include "downloads/ModelDownloadAddress.h"

std::optional<QUrl> modelDownloadAddress(WhisperModel model)
{
    const QUrl url(model.downloadURL(), QUrl::StrictMode);
    if (!url.isValid() || url.host().isEmpty())
        return std::nullopt;
    if (url.scheme() != QLatin1String("https") && url.scheme() != QLatin1String("http"))
        return std::nullopt;
    return url;
}
