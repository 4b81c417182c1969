#include "settings/recordings/RecordingInfo.h"

#include "settings/models/ByteCountText.h"

#include <QLocale>
#include <QRegularExpression>

#include <cmath>

namespace {

// Qt knows long and short date formats only. The medium style is the long
// one without the weekday and with the month's abbreviated name
// ("Jan 5, 2026", "5 Jan 2026").
QString mediumDateFormat(const QLocale& locale)
{
    QString format = locale.dateFormat(QLocale::LongFormat);
    static const QRegularExpression weekday(QStringLiteral("d{3,4}[,.\\s]*"));
    format.remove(weekday);
    format.replace(QStringLiteral("MMMM"), QStringLiteral("MMM"));
    static const QRegularExpression loose(QStringLiteral("^[,\\s]+|[,\\s]+$"));
    return format.remove(loose);
}

} // namespace

RecordingInfo::RecordingInfo(const RecordingMetadata& record, const QString& path)
    : id(QUuid::createUuid()), metadata(record), filePath(path)
{
}

QString RecordingInfo::formattedDate() const
{
    const QDateTime moment = metadata.date().toLocalTime();
    const QLocale locale;
    return locale.toString(moment.date(), mediumDateFormat(locale)) + QLatin1Char(' ')
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
