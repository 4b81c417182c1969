#include "settings/recordings/RecordingsTableModel.h"

#include <QLocale>
#include <QRegularExpression>

#include <optional>
#include <utility>

namespace {

// Runs of positions in `longer` that `shorter` lacks, when `shorter` is
// `longer` with some rows taken out (same order, compared by id); nothing
// otherwise. Each run is {first, last}.
std::optional<QList<std::pair<int, int>>> missingRuns(
    const QList<SettingsViewModel::RecordingInfo>& longer, const QList<SettingsViewModel::RecordingInfo>& shorter)
{
    QList<std::pair<int, int>> runs;
    qsizetype j = 0;
    for (qsizetype i = 0; i < longer.size(); ++i) {
        if (j < shorter.size() && longer.at(i).id == shorter.at(j).id) {
            ++j;
            continue;
        }
        const int at = static_cast<int>(i);
        if (!runs.isEmpty() && runs.last().second == at - 1)
            runs.last().second = at;
        else
            runs.append({at, at});
    }
    if (j != shorter.size())
        return std::nullopt;
    return runs;
}

// The locale's short time with seconds, so that two recordings a minute
// apart do not read alike: the seconds follow the minutes with the
// separator between hours and minutes ("HH:mm" gives "HH:mm:ss"). Where
// that separator is not one mark, the long time without its time zone.
QString timeFormatWithSeconds(const QLocale& locale)
{
    const QString shortFormat = locale.timeFormat(QLocale::ShortFormat);
    static const QRegularExpression seconds(QStringLiteral("(^|[^'])s"));
    if (shortFormat.contains(seconds))
        return shortFormat;
    static const QRegularExpression hoursAndMinutes(QStringLiteral("[Hh]{1,2}([:.])(m{1,2})"));
    const QRegularExpressionMatch hit = hoursAndMinutes.match(shortFormat);
    if (hit.hasMatch())
        return QString(shortFormat).insert(hit.capturedEnd(2), hit.captured(1) + QStringLiteral("ss"));
    static const QRegularExpression zone(QStringLiteral("\\s*\\(?\\bt+\\b\\)?"));
    return locale.timeFormat(QLocale::LongFormat).remove(zone).trimmed();
}

} // namespace

RecordingsTableModel::RecordingsTableModel(QObject* parent)
    : QAbstractTableModel(parent), timeFormat(timeFormatWithSeconds(locale))
{
}

QString RecordingsTableModel::dateText(const QDateTime& date) const
{
    const QDateTime local = date.toLocalTime();
    return locale.toString(local.date(), QLocale::ShortFormat) + QLatin1Char(' ')
        + locale.toString(local.time(), timeFormat);
}

void RecordingsTableModel::setRecordings(const QList<RecordingInfo>& recordings)
{
    if (recordings.constData() == list.constData() && recordings.size() == list.size())
        return;
    if (recordings.size() < list.size() && removeMissing(recordings))
        return;
    if (recordings.size() > list.size() && insertNew(recordings))
        return;
    beginResetModel();
    list = recordings;
    endResetModel();
}

bool RecordingsTableModel::removeMissing(const QList<RecordingInfo>& next)
{
    const std::optional<QList<std::pair<int, int>>> runs = missingRuns(list, next);
    if (!runs)
        return false;
    // Back to front, so the earlier positions stay valid.
    for (auto run = runs->crbegin(); run != runs->crend(); ++run) {
        beginRemoveRows({}, run->first, run->second);
        list.remove(run->first, run->second - run->first + 1);
        endRemoveRows();
    }
    list = next;
    return true;
}

bool RecordingsTableModel::insertNew(const QList<RecordingInfo>& next)
{
    const std::optional<QList<std::pair<int, int>>> runs = missingRuns(next, list);
    if (!runs)
        return false;
    // Front to back: each run lands at its final position.
    for (const auto& [first, last] : *runs) {
        beginInsertRows({}, first, last);
        list.insert(first, last - first + 1, RecordingInfo());
        for (int row = first; row <= last; ++row)
            list[row] = next.at(row);
        endInsertRows();
    }
    list = next;
    return true;
}

int RecordingsTableModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(list.size());
}

int RecordingsTableModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : Column::columns;
}

QVariant RecordingsTableModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.row() >= list.size())
        return {};
    const RecordingInfo& recording = list.at(index.row());
    if (role == idRole)
        return recording.id;
    switch (index.column()) {
    case dateColumn:
        if (role == Qt::DisplayRole || role == Qt::AccessibleTextRole)
            return dateText(recording.date);
        break;
    case transcriptionColumn:
        if (role == Qt::DisplayRole || role == Qt::ToolTipRole || role == Qt::AccessibleTextRole)
            return recording.transcription;
        break;
    case modelColumn:
        if (role == Qt::DisplayRole || role == Qt::AccessibleTextRole)
            return recording.model;
        break;
    case actionsColumn:
        // Drawn by the view; the keys and the tab's buttons reach them too.
        if (role == Qt::AccessibleTextRole || role == Qt::ToolTipRole)
            return QStringLiteral("Show in File Manager or delete the recording of %1").arg(dateText(recording.date));
        break;
    default:
        break;
    }
    return {};
}

QVariant RecordingsTableModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return {};
    switch (section) {
    case dateColumn:
        return QStringLiteral("Date");
    case transcriptionColumn:
        return QStringLiteral("Transcription");
    case modelColumn:
        return QStringLiteral("Model");
    case actionsColumn:
        return QStringLiteral("Actions");
    default:
        return {};
    }
}
