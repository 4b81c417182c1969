#include "settings/RecordingsTab.h"

#include "recording/RecordingManager.h"
#include "settings/SettingsTabParts.h"
#include "settings/SettingsViewModel.h"
#include "shell/theme/SymbolIcons.h"
#include "shell/theme/TallowindTheme.h"

#include <QCheckBox>
#include <QEvent>
#include <QFontDatabase>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLocale>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QStackedWidget>
#include <QStyledItemDelegate>
#include <QTableWidget>
#include <QToolButton>
#include <QVBoxLayout>

using namespace TallowindTheme;
using SettingsTabParts::SecondaryLabel;

namespace {

constexpr int idRole = Qt::UserRole + 1;

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

QString dateText(const QDateTime& date)
{
    const QLocale locale;
    return locale.toString(date.date(), QLocale::ShortFormat) + QLatin1Char(' ')
        + locale.toString(date.time(), QLocale::ShortFormat);
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
    listHeader->addWidget(clearAll);

    emptyState = new SettingsTabParts::EmptyStateView(QStringLiteral("mic.slash"),
        QStringLiteral("No recordings saved"), QStringLiteral("Enable recording saving above to start"), this);

    rows = new QTableWidget(0, 4, this);
    rows->setHorizontalHeaderLabels(
        {QStringLiteral("Date"), QStringLiteral("Transcription"), QStringLiteral("Model"), QStringLiteral("Actions")});
    rows->setAccessibleName(QStringLiteral("Saved recordings"));
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
    // Two lines of transcription per row.
    rows->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    rows->verticalHeader()->setDefaultSectionSize(rows->fontMetrics().lineSpacing() * 2 + 12);

    menu = new QMenu(this);
    QAction* reveal = menu->addAction(QStringLiteral("Show in File Manager"));
    menu->addSeparator();
    QAction* remove = menu->addAction(QStringLiteral("Delete Selected"));
    connect(reveal, &QAction::triggered, this, &SettingsRecordingsTabView::showSelectedInFileManager);
    connect(remove, &QAction::triggered, this, &SettingsRecordingsTabView::deleteSelected);
    connect(rows, &QTableWidget::customContextMenuRequested, this,
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
    location->setText(RecordingManager::shared().recordingsDirectory());
    showRecordings();
}

bool SettingsRecordingsTabView::isEmptyStateShown() const
{
    return listArea->currentWidget() == emptyState;
}

QSet<QUuid> SettingsRecordingsTabView::selectedRecordings() const
{
    QSet<QUuid> ids;
    for (const QModelIndex& index : rows->selectionModel()->selectedRows(dateColumn))
        ids.insert(index.data(idRole).toUuid());
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

void SettingsRecordingsTabView::deleteSelected()
{
    const QSet<QUuid> selected = selectedRecordings();
    for (const QUuid& id : selected) {
        const QList<SettingsViewModel::RecordingInfo> current = viewModel->recordings();
        for (const SettingsViewModel::RecordingInfo& recording : current) {
            if (recording.id == id) {
                viewModel->deleteRecording(recording);
                break;
            }
        }
    }
    rows->clearSelection();
}

void SettingsRecordingsTabView::askToClearAll()
{
    if (confirmation)
        return;
    confirmation = new QMessageBox(QMessageBox::Warning, QStringLiteral("Clear All Recordings"),
        QStringLiteral("Are you sure you want to delete all %1 recordings? This action "
                       "cannot be undone.")
            .arg(viewModel->recordings().size()),
        QMessageBox::NoButton, this);
    QPushButton* cancel = confirmation->addButton(QMessageBox::Cancel);
    QPushButton* clear = confirmation->addButton(QStringLiteral("Clear All"), QMessageBox::DestructiveRole);
    confirmation->setDefaultButton(cancel);
    confirmation->setEscapeButton(cancel);
    connect(confirmation, &QMessageBox::finished, this, [this, clear] {
        const bool confirmed = confirmation->clickedButton() == clear;
        confirmation->deleteLater();
        confirmation = nullptr;
        if (confirmed)
            viewModel->clearAllRecordings();
    });
    confirmation->open();
}

QWidget* SettingsRecordingsTabView::actionsCell(int row)
{
    const SettingsViewModel::RecordingInfo recording = viewModel->recordings().at(row);
    auto* cell = new QWidget;
    auto* buttons = new QHBoxLayout(cell);
    buttons->setContentsMargins(0, 0, 0, 0);
    buttons->setSpacing(8);
    buttons->setAlignment(Qt::AlignCenter);

    auto* reveal = new QToolButton(cell);
    reveal->setAutoRaise(true);
    reveal->setIcon(SymbolIcons::icon(QStringLiteral("folder"), palette()));
    reveal->setToolTip(QStringLiteral("Show in File Manager"));
    reveal->setAccessibleName(QStringLiteral("Show in File Manager"));
    reveal->setFocusPolicy(Qt::StrongFocus);
    auto* trash = new QToolButton(cell);
    trash->setAutoRaise(true);
    trash->setIcon(SymbolIcons::icon(QStringLiteral("trash"), SymbolTint::mono(Colors::destructiveColor())));
    trash->setToolTip(QStringLiteral("Delete recording"));
    trash->setAccessibleName(QStringLiteral("Delete recording"));
    trash->setFocusPolicy(Qt::StrongFocus);
    const QString which = dateText(recording.date);
    reveal->setAccessibleDescription(which);
    trash->setAccessibleDescription(which);
    buttons->addWidget(reveal);
    buttons->addWidget(trash);

    connect(reveal, &QToolButton::clicked, this, [this, recording] { viewModel->openRecordingInFinder(recording); });
    connect(trash, &QToolButton::clicked, this, [this, recording] { viewModel->deleteRecording(recording); });
    return cell;
}

void SettingsRecordingsTabView::showRecordings()
{
    const QSet<QUuid> selected = selectedRecordings();
    const QList<SettingsViewModel::RecordingInfo> recordings = viewModel->recordings();
    rows->clearContents();
    rows->setRowCount(static_cast<int>(recordings.size()));
    for (int row = 0; row < recordings.size(); ++row) {
        const SettingsViewModel::RecordingInfo& recording = recordings.at(row);
        auto* date = new QTableWidgetItem(dateText(recording.date));
        date->setData(idRole, recording.id);
        auto* transcription = new QTableWidgetItem(recording.transcription);
        transcription->setToolTip(recording.transcription);
        rows->setItem(row, dateColumn, date);
        rows->setItem(row, transcriptionColumn, transcription);
        rows->setItem(row, modelColumn, new QTableWidgetItem(recording.model));
        rows->setItem(row, actionsColumn, new QTableWidgetItem);
        rows->setCellWidget(row, actionsColumn, actionsCell(row));
        if (selected.contains(recording.id))
            rows->selectionModel()->select(
                rows->model()->index(row, dateColumn), QItemSelectionModel::Select | QItemSelectionModel::Rows);
    }
    clearAll->setEnabled(!recordings.isEmpty());
    listArea->setCurrentWidget(recordings.isEmpty() ? static_cast<QWidget*>(emptyState) : rows);
}

void SettingsRecordingsTabView::showEvent(QShowEvent* event)
{
    location->setText(RecordingManager::shared().recordingsDirectory());
    QWidget::showEvent(event);
}

void SettingsRecordingsTabView::changeEvent(QEvent* event)
{
    if (event->type() == QEvent::PaletteChange)
        showRecordings();
    QWidget::changeEvent(event);
}
