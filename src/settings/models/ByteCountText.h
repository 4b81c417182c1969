#pragma once

#include <QLocale>
#include <QString>

// A byte count as the user reads it, in binary units ("1.5 MB" = 1.5 MiB).
inline QString byteCountText(qint64 bytes)
{
    return QLocale().formattedDataSize(bytes, 1, QLocale::DataSizeTraditionalFormat);
}
