#pragma once

#include "settings/SettingsViewModel.h"

#include <QList>
#include <QMessageBox>
#include <QPointer>
#include <QSet>
#include <QUuid>
#include <QWidget>

class QCheckBox;
class QLabel;
class QMenu;
class QPushButton;
class QStackedWidget;
class QTableView;
class QToolButton;
class RecordingActionsDelegate;
class RecordingsTableModel;
namespace SettingsTabParts {
class EmptyStateView;
}

// The "Recordings" tab: the two saving switches, the recordings folder with
// "Open in File Manager", and the table of saved recordings with reveal and
// delete per row, a context menu for the selection and "Clear All" behind a
// confirmation. The table is a view over a model: it stays quick at tens of
// thousands of rows. From the keyboard, Return reveals the selected row and
// Delete asks before it deletes the selected rows; two buttons beside
// "Clear All" reveal and delete too, named after the recording they act on.
class SettingsRecordingsTabView : public QWidget {
    Q_OBJECT
public:
    enum Column { dateColumn, transcriptionColumn, modelColumn, actionsColumn };

    explicit SettingsRecordingsTabView(SettingsViewModel* viewModel, QWidget* parent = nullptr);

    QCheckBox* savingSwitch() const { return saving; }
    QCheckBox* showAfterSavingSwitch() const { return showAfterSaving; }
    QPushButton* openFolderButton() const { return openFolder; }
    QPushButton* clearAllButton() const { return clearAll; }
    QTableView* table() const { return rows; }
    RecordingsTableModel* tableModel() const { return listModel; }
    RecordingActionsDelegate* actionsDelegate() const { return actions; }
    QToolButton* revealSelectedButton() const { return revealSelected; }
    QToolButton* deleteSelectedButton() const { return removeSelected; }
    QLabel* locationLabel() const { return location; }
    bool isEmptyStateShown() const;
    // The ids of the selected rows.
    QSet<QUuid> selectedRecordings() const;
    // The table's context menu as it would open now: "Show in File Manager",
    // a separator, "Delete Selected".
    QMenu* contextMenu();
    // The "Clear All Recordings" confirmation while it is open.
    QMessageBox* clearConfirmation() const { return confirmation; }
    // The confirmation that the Delete key opens, while it is open.
    QMessageBox* deleteConfirmation() const { return deletion; }

    void showSelectedInFileManager();
    void deleteSelected();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    void showRecordings();
    void askToClearAll();
    void askToDeleteSelected();
    QList<SettingsViewModel::RecordingInfo> selectedRows() const;
    void selectFocusedRow();
    void followSelection();
    void updateIcons();

    SettingsViewModel* viewModel;
    QCheckBox* saving = nullptr;
    QCheckBox* showAfterSaving = nullptr;
    QLabel* location = nullptr;
    QPushButton* openFolder = nullptr;
    QPushButton* clearAll = nullptr;
    QStackedWidget* listArea = nullptr;
    SettingsTabParts::EmptyStateView* emptyState = nullptr;
    QTableView* rows = nullptr;
    RecordingsTableModel* listModel = nullptr;
    RecordingActionsDelegate* actions = nullptr;
    QToolButton* revealSelected = nullptr;
    QToolButton* removeSelected = nullptr;
    QMenu* menu = nullptr;
    QPointer<QMessageBox> confirmation;
    QPointer<QMessageBox> deletion;
};
