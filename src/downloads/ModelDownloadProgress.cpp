#include "downloads/ModelDownloadProgress.h"

#include <QLocale>

namespace {

QString formatByteCount(qint64 bytes)
{
    return QLocale().formattedDataSize(bytes, 1, QLocale::DataSizeTraditionalFormat);
}

} // namespace

double ModelDownloadProgress::progress() const
{
    if (totalBytes <= 0)
        return 0;
    return static_cast<double>(bytesWritten) / static_cast<double>(totalBytes);
}

int ModelDownloadProgress::progressPercentage() const
{
    // Integer arithmetic: 29 of 100 must give 29, not 28.999... truncated.
    if (totalBytes <= 0)
        return 0;
    return static_cast<int>(bytesWritten * 100 / totalBytes);
}

QString ModelDownloadProgress::formattedBytesWritten() const
{
    return formatByteCount(bytesWritten);
}

QString ModelDownloadProgress::formattedTotalBytes() const
{
    return formatByteCount(totalBytes);
}
