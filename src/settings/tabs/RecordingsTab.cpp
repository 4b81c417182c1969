#include "settings/tabs/RecordingsTab.h"

#include "recording/RecordingManager.h"
#include "settings/SettingsViewModel.h"
#include "settings/recordings/RecordingActionsDelegate.h"
#include "settings/recordings/RecordingsTableModel.h"
#include "settings/tabs/SettingsTabParts.h"
#include "shell/theme/SymbolIcons.h"
#include "shell/theme/TallowindTheme.h"

#include <QCheckBox>
#include <QEvent>
#include <QFontDatabase>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QStackedWidget>
#include <QStyledItemDelegate>
#include <QTableView>
#include <QToolButton>
#include <QVBoxLayout>

using namespace TallowindTheme;
using SettingsTabParts::SecondaryLabel;

namespace {

// Only the transcription wraps (to two lines); the other columns elide.
class SingleLineDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;

protected:
    void initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const override
    {
        QStyledItemDelegate::initStyleOption(option, index);
        option->features &= ~QStyleOptionViewItem::WrapText;
    }
};

QToolButton* selectionButton(QWidget* parent)
{
    auto* button = new QToolButton(parent);
    button->setAutoRaise(true);
    button->setFocusPolicy(Qt::StrongFocus);
    button->setEnabled(false);
    return button;
}

} // namespace

SettingsRecordingsTabView::SettingsRecordingsTabView(SettingsViewModel* model, QWidget* parent)
    : QWidget(parent), viewModel(model)
{
    // Settings section.
    saving = new QCheckBox(QStringLiteral("Enable recording saving"), this);
    showAfterSaving = new QCheckBox(QStringLiteral("Show in File Manager after saving"), this);
    connect(saving, &QCheckBox::toggled, viewModel, &SettingsViewModel::updateEnableRecordingSaving);
    connect(showAfterSaving, &QCheckBox::toggled, viewModel, &SettingsViewModel::updateShowInFinderAfterSaving);
    auto followSaving = [this](bool on) {
        const QSignalBlocker quiet(saving);
        saving->setChecked(on);
        showAfterSaving->setEnabled(on);
    };
    auto followShowAfterSaving = [this](bool on) {
        const QSignalBlocker quiet(showAfterSaving);
        showAfterSaving->setChecked(on);
    };
    connect(viewModel, &SettingsViewModel::enableRecordingSavingChanged, this, followSaving);
    connect(viewModel, &SettingsViewModel::showInFinderAfterSavingChanged, this, followShowAfterSaving);
    followSaving(viewModel->enableRecordingSaving());
    followShowAfterSaving(viewModel->showInFinderAfterSaving());

    auto* locationCaption = new SecondaryLabel(QStringLiteral("Save location:"), Typography::body(), this);
    locationCaption->setWordWrap(false);
    location = new QLabel(this);
    QFont mono = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    mono.setPixelSize(Typography::body().pixelSize() > 0 ? Typography::body().pixelSize() - 1 : 13);
    location->setFont(mono);
    location->setWordWrap(true);
    location->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    location->setAccessibleName(QStringLiteral("Save location"));
    // Text that can be selected from the keyboard is a stop of the Tab chain.
    location->setFocusPolicy(Qt::StrongFocus);
    openFolder = new QPushButton(QStringLiteral("Open in File Manager"), this);
    openFolder->setAutoDefault(false);
    connect(openFolder, &QPushButton::clicked, viewModel, &SettingsViewModel::openRecordingsFolder);

    auto* locationRow = new QHBoxLayout;
    locationRow->setContentsMargins(0, 8, 0, 0);
    locationRow->addWidget(locationCaption);
    locationRow->addWidget(location, 1);
    locationRow->addWidget(openFolder);

    auto* settings = new QVBoxLayout;
    settings->setSpacing(12);
    settings->setContentsMargins(20, 20, 20, 0);
    settings->addWidget(SettingsTabParts::headline(QStringLiteral("Recording Settings"), this));
    settings->addWidget(saving);
    settings->addWidget(showAfterSaving);
    settings->addLayout(locationRow);

    auto* dividerRow = new QHBoxLayout;
    dividerRow->setContentsMargins(20, 0, 20, 0);
    dividerRow->addWidget(new SettingsTabParts::Divider(this));

    // Recordings section.
    clearAll = new QPushButton(QStringLiteral("Clear All"), this);
    clearAll->setAutoDefault(false);
    connect(clearAll, &QPushButton::clicked, this, &SettingsRecordingsTabView::askToClearAll);
    auto* listHeader = new QHBoxLayout;
    listHeader->setContentsMargins(20, 0, 20, 0);
    listHeader->addWidget(SettingsTabParts::headline(QStringLiteral("Saved Recordings"), this));
    listHeader->addStretch(1);
    revealSelected = selectionButton(this);
    removeSelected = selectionButton(this);
    connect(revealSelected, &QToolButton::clicked, this, &SettingsRecordingsTabView::showSelectedInFileManager);
    connect(removeSelected, &QToolButton::clicked, this, &SettingsRecordingsTabView::deleteSelected);
    listHeader->addWidget(revealSelected);
    listHeader->addWidget(removeSelected);
    listHeader->addWidget(clearAll);

    emptyState = new SettingsTabParts::EmptyStateView(QStringLiteral("mic.slash"),
        QStringLiteral("No recordings saved"), QStringLiteral("Enable recording saving above to start"), this);

    listModel = new RecordingsTableModel(this);
    rows = new QTableView(this);
    rows->setModel(listModel);
    rows->setAccessibleName(QStringLiteral("Saved recordings"));
    rows->setAccessibleDescription(QStringLiteral("Return shows the selected recording in the file manager; "
                                                  "Delete asks to delete the selected recordings"));
    rows->setSelectionBehavior(QAbstractItemView::SelectRows);
    rows->setSelectionMode(QAbstractItemView::ExtendedSelection);
    rows->setEditTriggers(QAbstractItemView::NoEditTriggers);
    rows->setSortingEnabled(false);
    rows->setWordWrap(true);
    rows->setTextElideMode(Qt::ElideRight);
    rows->setTabKeyNavigation(false);
    rows->setShowGrid(false);
    rows->setFrameShape(QFrame::NoFrame);
    rows->verticalHeader()->hide();
    rows->setContextMenuPolicy(Qt::CustomContextMenu);
    QHeaderView* columns = rows->horizontalHeader();
    columns->setMinimumSectionSize(80);
    columns->setSectionResizeMode(dateColumn, QHeaderView::Interactive);
    columns->setSectionResizeMode(transcriptionColumn, QHeaderView::Stretch);
    columns->setSectionResizeMode(modelColumn, QHeaderView::Interactive);
    columns->setSectionResizeMode(actionsColumn, QHeaderView::Fixed);
    columns->resizeSection(dateColumn, 180);
    columns->resizeSection(modelColumn, 120);
    columns->resizeSection(actionsColumn, 80);
    columns->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    columns->setSectionsClickable(false);
    connect(columns, &QHeaderView::sectionResized, this, [columns](int index, int, int size) {
        const int minimum = index == dateColumn ? 150 : index == modelColumn ? 100 : 0;
        if (size < minimum)
            columns->resizeSection(index, minimum);
    });
    auto* singleLine = new SingleLineDelegate(rows);
    rows->setItemDelegateForColumn(dateColumn, singleLine);
    rows->setItemDelegateForColumn(modelColumn, singleLine);
    actions = new RecordingActionsDelegate(rows, actionsColumn);
    rows->setItemDelegateForColumn(actionsColumn, actions);
    // Every row two lines high: the view never measures rows one by one.
    rows->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    rows->verticalHeader()->setDefaultSectionSize(rows->fontMetrics().lineSpacing() * 2 + 12);
    connect(actions, &RecordingActionsDelegate::revealClicked, this,
        [this](const QModelIndex& index) { viewModel->openRecordingInFinder(listModel->recordingAt(index.row())); });
    connect(actions, &RecordingActionsDelegate::removeClicked, this,
        [this](const QModelIndex& index) { viewModel->deleteRecording(listModel->recordingAt(index.row())); });
    // Return and a double click reveal, never a single click (which some
    // styles take for activation); Delete asks first (see eventFilter).
    connect(rows, &QTableView::doubleClicked, this, [this](const QModelIndex& index) {
        if (index.column() != actionsColumn)
            viewModel->openRecordingInFinder(listModel->recordingAt(index.row()));
    });
    rows->installEventFilter(this);
    connect(rows->selectionModel(), &QItemSelectionModel::selectionChanged, this,
        &SettingsRecordingsTabView::followSelection);
    connect(listModel, &QAbstractItemModel::modelReset, this, &SettingsRecordingsTabView::followSelection);
    connect(listModel, &QAbstractItemModel::rowsRemoved, this, &SettingsRecordingsTabView::followSelection);

    menu = new QMenu(this);
    QAction* reveal = menu->addAction(RecordingActionsDelegate::actionName(RecordingActionsDelegate::Action::reveal));
    menu->addSeparator();
    QAction* remove = menu->addAction(QStringLiteral("Delete Selected"));
    connect(reveal, &QAction::triggered, this, &SettingsRecordingsTabView::showSelectedInFileManager);
    connect(remove, &QAction::triggered, this, &SettingsRecordingsTabView::deleteSelected);
    connect(rows, &QTableView::customContextMenuRequested, this,
        [this](const QPoint& at) { contextMenu()->popup(rows->viewport()->mapToGlobal(at)); });

    listArea = new QStackedWidget(this);
    listArea->addWidget(emptyState);
    listArea->addWidget(rows);

    auto* recordingsSection = new QVBoxLayout;
    recordingsSection->setSpacing(12);
    recordingsSection->addLayout(listHeader);
    recordingsSection->addWidget(listArea, 1);

    auto* root = new QVBoxLayout(this);
    root->setContentsMargins(0, 0, 0, 0);
    root->setSpacing(20);
    root->addLayout(settings);
    root->addLayout(dividerRow);
    root->addLayout(recordingsSection, 1);

    connect(viewModel, &SettingsViewModel::recordingsChanged, this, &SettingsRecordingsTabView::showRecordings);
    connect(viewModel, &SettingsViewModel::recordingsListedChanged, this, &SettingsRecordingsTabView::showRecordings);
    location->setText(RecordingManager::shared().recordingsDirectory());
    updateIcons();
    showRecordings();
    followSelection();
}

bool SettingsRecordingsTabView::isEmptyStateShown() const
{
    return listArea->currentWidget() == emptyState;
}

QSet<QUuid> SettingsRecordingsTabView::selectedRecordings() const
{
    QSet<QUuid> ids;
    for (const QModelIndex& index : rows->selectionModel()->selectedRows(dateColumn))
        ids.insert(index.data(RecordingsTableModel::idRole).toUuid());
    return ids;
}

QMenu* SettingsRecordingsTabView::contextMenu()
{
    const bool any = !selectedRecordings().isEmpty();
    for (QAction* action : menu->actions())
        action->setEnabled(any);
    return menu;
}

void SettingsRecordingsTabView::showSelectedInFileManager()
{
    const QSet<QUuid> selected = selectedRecordings();
    if (selected.isEmpty())
        return;
    const QUuid first = *selected.begin();
    for (const SettingsViewModel::RecordingInfo& recording : viewModel->recordings()) {
        if (recording.id == first) {
            viewModel->openRecordingInFinder(recording);
            return;
        }
    }
}

QList<SettingsViewModel::RecordingInfo> SettingsRecordingsTabView::selectedRows() const
{
    const QSet<QUuid> selected = selectedRecordings();
    QList<SettingsViewModel::RecordingInfo> chosen;
    if (selected.isEmpty())
        return chosen;
    for (const SettingsViewModel::RecordingInfo& recording : viewModel->recordings()) {
        if (selected.contains(recording.id))
            chosen.append(recording);
    }
    return chosen;
}

void SettingsRecordingsTabView::deleteSelected()
{
    const QList<SettingsViewModel::RecordingInfo> chosen = selectedRows();
    if (chosen.isEmpty())
        return;
    viewModel->deleteRecordings(chosen);
    rows->clearSelection();
}

// A key is one slip away: it deletes only what the answer confirms, the
// rows selected when it was pressed.
void SettingsRecordingsTabView::askToDeleteSelected()
{
    const QList<SettingsViewModel::RecordingInfo> chosen = selectedRows();
    if (deletion || chosen.isEmpty())
        return;
    const QString what =
        chosen.size() == 1 ? QStringLiteral("1 recording") : QStringLiteral("%1 recordings").arg(chosen.size());
    auto* box = new QMessageBox(QMessageBox::Warning, QStringLiteral("Delete Recordings"),
        QStringLiteral("Are you sure you want to delete %1? This action cannot be undone.").arg(what),
        QMessageBox::NoButton, this);
    SettingsTabParts::confirmDestructive(deletion, box, QStringLiteral("Delete"), [this, chosen] {
        viewModel->deleteRecordings(chosen);
        rows->clearSelection();
    });
}

void SettingsRecordingsTabView::askToClearAll()
{
    if (confirmation)
        return;
    auto* box = new QMessageBox(QMessageBox::Warning, QStringLiteral("Clear All Recordings"),
        QStringLiteral("Are you sure you want to delete all %1 recordings? This action "
                       "cannot be undone.")
            .arg(viewModel->recordings().size()),
        QMessageBox::NoButton, this);
    SettingsTabParts::confirmDestructive(
        confirmation, box, QStringLiteral("Clear All"), [this] { viewModel->clearAllRecordings(); });
}

void SettingsRecordingsTabView::showRecordings()
{
    const QList<SettingsViewModel::RecordingInfo>& recordings = viewModel->recordings();
    listModel->setRecordings(recordings);
    clearAll->setEnabled(!recordings.isEmpty());
    // Until the first listing arrives an empty list means "not read yet":
    // the empty table stays, not the empty state.
    const bool empty = recordings.isEmpty() && viewModel->recordingsListed();
    listArea->setCurrentWidget(empty ? static_cast<QWidget*>(emptyState) : rows);
}

void SettingsRecordingsTabView::followSelection()
{
    const QModelIndexList selected = rows->selectionModel()->selectedRows(dateColumn);
    using Action = RecordingActionsDelegate::Action;
    QString revealName = RecordingActionsDelegate::actionName(Action::reveal);
    QString deleteName = RecordingActionsDelegate::actionName(Action::remove);
    if (!selected.isEmpty()) {
        const QString which = listModel->dateText(listModel->recordingAt(selected.first().row()).date);
        revealName = QStringLiteral("Show the recording of %1 in File Manager").arg(which);
        deleteName = selected.size() == 1 ? QStringLiteral("Delete the recording of %1").arg(which)
                                          : QStringLiteral("Delete %1 selected recordings").arg(selected.size());
    }
    revealSelected->setAccessibleName(revealName);
    revealSelected->setToolTip(revealName);
    removeSelected->setAccessibleName(deleteName);
    removeSelected->setToolTip(deleteName);
    revealSelected->setEnabled(!selected.isEmpty());
    removeSelected->setEnabled(!selected.isEmpty());
}

void SettingsRecordingsTabView::updateIcons()
{
    const QIcon reveal = SymbolIcons::icon(QStringLiteral("folder"), palette());
    const QIcon remove = SymbolIcons::icon(QStringLiteral("trash"), SymbolTint::mono(Colors::destructiveColor()));
    actions->setIcons(reveal, remove);
    revealSelected->setIcon(reveal);
    removeSelected->setIcon(remove);
    rows->viewport()->update();
}

void SettingsRecordingsTabView::selectFocusedRow()
{
    if (listModel->rowCount() == 0 || rows->selectionModel()->hasSelection())
        return;
    const QModelIndex current = rows->currentIndex();
    const QModelIndex row = listModel->index(current.isValid() ? current.row() : 0, dateColumn);
    rows->selectionModel()->setCurrentIndex(row, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
}

bool SettingsRecordingsTabView::eventFilter(QObject* watched, QEvent* event)
{
    if (watched != rows)
        return QWidget::eventFilter(watched, event);
    if (event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        const Qt::KeyboardModifiers modifiers = key->modifiers() & ~Qt::KeypadModifier;
        if (modifiers == Qt::NoModifier && key->key() == Qt::Key_Delete) {
            askToDeleteSelected();
            return true;
        }
        if (modifiers == Qt::NoModifier && (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter)) {
            showSelectedInFileManager();
            return true;
        }
    } else if (event->type() == QEvent::FocusIn) {
        // Reached with Tab, the focused row is the selected one, so the
        // buttons that act on the selection are live and reachable.
        const Qt::FocusReason reason = static_cast<QFocusEvent*>(event)->reason();
        if (reason == Qt::TabFocusReason || reason == Qt::BacktabFocusReason)
            selectFocusedRow();
    }
    return QWidget::eventFilter(watched, event);
}

void SettingsRecordingsTabView::showEvent(QShowEvent* event)
{
    location->setText(RecordingManager::shared().recordingsDirectory());
    QWidget::showEvent(event);
}

void SettingsRecordingsTabView::changeEvent(QEvent* event)
{
    if (event->type() == QEvent::PaletteChange && actions)
        updateIcons();
    QWidget::changeEvent(event);
}
