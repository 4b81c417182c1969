#pragma once

#include "settings/SettingsViewModel.h"

#include <QAbstractTableModel>
#include <QList>
#include <QLocale>

// The Recordings tab's rows for a view that makes nothing per row. A new
// list that only drops rows, or only adds them, reaches the view as those
// removals or insertions, so the selection and scroll position survive a
// deletion or a save; any other change resets the model.
class RecordingsTableModel : public QAbstractTableModel {
    Q_OBJECT
public:
    using RecordingInfo = SettingsViewModel::RecordingInfo;
    enum Column { dateColumn, transcriptionColumn, modelColumn, actionsColumn, columns };
    static constexpr int idRole = Qt::UserRole + 1;

    explicit RecordingsTableModel(QObject* parent = nullptr);

    void setRecordings(const QList<RecordingInfo>& recordings);
    const QList<RecordingInfo>& recordings() const { return list; }
    const RecordingInfo& recordingAt(int row) const { return list.at(row); }

    // The date column's text: the locale's short date, a blank, its short
    // time with seconds.
    QString dateText(const QDateTime& date) const;

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

private:
    bool removeMissing(const QList<RecordingInfo>& next);
    bool insertNew(const QList<RecordingInfo>& next);

    QList<RecordingInfo> list;
    // Worked out once: the default locale does not change while the app runs.
    QLocale locale;
    QString timeFormat;
};
