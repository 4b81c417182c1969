#include "settings/RecordingInfo.h"

#include "settings/ByteCountText.h"

#include <QLocale>

#include <cmath>

RecordingInfo::RecordingInfo(const RecordingMetadata& record, const QString& path)
    : id(QUuid::createUuid()), metadata(record), filePath(path)
{
}

QString RecordingInfo::formattedDate() const
{
    const QDateTime moment = metadata.date().toLocalTime();
    const QLocale locale;
    return locale.toString(moment.date(), QLocale::ShortFormat) + QLatin1Char(' ')
        + locale.toString(moment.time(), QLocale::ShortFormat);
}

QString RecordingInfo::formattedDuration() const
{
    const double seconds = metadata.duration;
    // Beyond a hundred years is no recording; it would not fit the count.
    if (!std::isfinite(seconds) || seconds <= 0 || seconds > 3.2e9)
        return QStringLiteral("0s");
    const qint64 whole = std::llround(seconds);
    const qint64 minutes = whole / 60;
    const qint64 rest = whole % 60;
    if (minutes == 0)
        return QStringLiteral("%1s").arg(rest);
    return QStringLiteral("%1m %2s").arg(minutes).arg(rest);
}

QString RecordingInfo::formattedSize() const
{
    return byteCountText(metadata.fileSize);
}
