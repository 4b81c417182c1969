#include "settings/recordings/RecordingsTableModel.h"

#include <QItemSelectionModel>
#include <QLocale>
#include <QSignalSpy>

#include <gtest/gtest.h>

namespace {

using RecordingInfo = SettingsViewModel::RecordingInfo;

QList<RecordingInfo> recordings(int count)
{
    QList<RecordingInfo> rows;
    const QDateTime start = QDateTime::currentDateTime();
    for (int i = 0; i < count; ++i)
        rows.append(RecordingInfo(start.addDays(-i), QString::number(i), "m", QStringLiteral("/r/%1.wav").arg(i)));
    return rows;
}

QStringList texts(const RecordingsTableModel& model)
{
    QStringList all;
    for (int row = 0; row < model.rowCount(); ++row)
        all.append(model.index(row, RecordingsTableModel::transcriptionColumn).data().toString());
    return all;
}

TEST(RecordingsTableModel, DroppedRowsLeaveAsRemovalsAndTheSelectionStaysOnTheSameRecordings)
{
    const QList<RecordingInfo> all = recordings(6);
    RecordingsTableModel model;
    model.setRecordings(all);
    QItemSelectionModel selection(&model);
    selection.select(model.index(1, 0), QItemSelectionModel::Select | QItemSelectionModel::Rows);
    selection.select(model.index(4, 0), QItemSelectionModel::Select | QItemSelectionModel::Rows);

    QSignalSpy removals(&model, &QAbstractItemModel::rowsRemoved);
    QSignalSpy resets(&model, &QAbstractItemModel::modelReset);
    model.setRecordings({all.at(1), all.at(4)}); // runs 0, 2-3 and 5 go
    EXPECT_EQ(removals.size(), 3);
    EXPECT_EQ(resets.size(), 0);
    EXPECT_EQ(texts(model), (QStringList{"1", "4"}));
    EXPECT_EQ(selection.selectedRows().size(), 2);
    EXPECT_EQ(model.rowCount(), 2);
}

TEST(RecordingsTableModel, NewRowsArriveAsInsertionsAndAnythingElseResets)
{
    const QList<RecordingInfo> all = recordings(5);
    RecordingsTableModel model;
    model.setRecordings(all.mid(1, 3));
    QSignalSpy insertions(&model, &QAbstractItemModel::rowsInserted);
    QSignalSpy resets(&model, &QAbstractItemModel::modelReset);

    model.setRecordings(all);
    EXPECT_EQ(insertions.size(), 2);
    EXPECT_EQ(resets.size(), 0);
    EXPECT_EQ(texts(model), (QStringList{"0", "1", "2", "3", "4"}));
    EXPECT_EQ(model.index(2, 0).data(RecordingsTableModel::idRole).toUuid(), all.at(2).id);

    QList<RecordingInfo> reordered = all;
    std::swap(reordered[0], reordered[4]);
    model.setRecordings(reordered);
    EXPECT_EQ(resets.size(), 1);
    EXPECT_EQ(texts(model), (QStringList{"4", "1", "2", "3", "0"}));

    // Same length, other rows: not a removal or insertion either.
    model.setRecordings(recordings(5));
    EXPECT_EQ(resets.size(), 2);
}

// Two recordings a minute apart must not read alike, in any locale.
TEST(RecordingsTableModel, TheDateShowsTheSecondsInEveryLocale)
{
    const QLocale before;
    const QDateTime moment(QDate(2026, 12, 7), QTime(22, 7, 9));
    for (const char* name : {"de_DE", "ja_JP", "en_US", "fi_FI", "fr_CA", "ko_KR", "zh_CN"}) {
        QLocale::setDefault(QLocale(QString::fromLatin1(name)));
        const RecordingsTableModel model;
        const QString shown = model.dateText(moment);
        EXPECT_NE(shown, model.dateText(moment.addSecs(1))) << name << " " << shown.toStdString();
        EXPECT_TRUE(shown.contains(QLatin1Char('9'))) << name << " " << shown.toStdString();
    }
    QLocale::setDefault(QLocale(QStringLiteral("de_DE")));
    EXPECT_EQ(RecordingsTableModel().dateText(moment), QStringLiteral("07.12.26 22:07:09"));
    QLocale::setDefault(QLocale(QStringLiteral("ja_JP")));
    EXPECT_EQ(RecordingsTableModel().dateText(moment), QStringLiteral("2026/12/07 22:07:09"));
    QLocale::setDefault(before);
}

TEST(RecordingsTableModel, TheActionsCellNamesItsRecordingForAssistiveTechnology)
{
    RecordingsTableModel model;
    model.setRecordings(recordings(2));
    const QString first = model.index(0, RecordingsTableModel::actionsColumn).data(Qt::AccessibleTextRole).toString();
    const QString second = model.index(1, RecordingsTableModel::actionsColumn).data(Qt::AccessibleTextRole).toString();
    EXPECT_TRUE(first.contains(model.index(0, RecordingsTableModel::dateColumn).data().toString()));
    EXPECT_NE(first, second);
}

} // namespace
