#include "settings/tabs/DictionaryTab.h"

#include "settings/SettingsViewModel.h"
#include "settings/tabs/SettingsTabParts.h"
#include "shell/theme/SymbolIcons.h"
#include "shell/theme/TallowindTheme.h"

#include <QEvent>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QToolButton>
#include <QVBoxLayout>

using namespace TallowindTheme;
using SettingsTabParts::SecondaryLabel;

SettingsDictionaryTabView::SettingsDictionaryTabView(SettingsViewModel* model, QWidget* parent)
    : QWidget(parent), viewModel(model)
{
    auto* title = new QLabel(QStringLiteral("Custom Dictionary"), this);
    title->setFont(Typography::title());
    auto* subtitle =
        new SecondaryLabel(QStringLiteral("Add custom words to improve transcription accuracy for specialized terms."),
            Typography::body(), this);

    auto* header = new QVBoxLayout;
    header->setSpacing(8);
    header->setContentsMargins(20, 20, 20, 0);
    header->addWidget(title);
    header->addWidget(subtitle);

    field = new QLineEdit(this);
    field->setPlaceholderText(QStringLiteral("Add a word"));
    field->setAccessibleName(QStringLiteral("New dictionary word"));
    add = new QToolButton(this);
    add->setAutoRaise(true);
    add->setIconSize(QSize(20, 20));
    add->setAccessibleName(QStringLiteral("Add word"));
    add->setToolTip(QStringLiteral("Add word"));
    add->setFocusPolicy(Qt::StrongFocus);
    add->setEnabled(false);
    connect(field, &QLineEdit::textChanged, this, [this](const QString& text) { add->setEnabled(!text.isEmpty()); });
    connect(field, &QLineEdit::returnPressed, this, &SettingsDictionaryTabView::addWord);
    connect(add, &QToolButton::clicked, this, &SettingsDictionaryTabView::addWord);

    auto* entry = new QHBoxLayout;
    entry->setContentsMargins(20, 0, 20, 0);
    entry->addWidget(field, 1);
    entry->addWidget(add);

    list = new QListWidget(this);
    list->setSelectionMode(QAbstractItemView::ExtendedSelection);
    list->setContextMenuPolicy(Qt::CustomContextMenu);
    list->setAccessibleName(QStringLiteral("Dictionary words"));
    list->setFrameShape(QFrame::NoFrame);
    list->setFont(Typography::body());
    list->setItemDelegate(new SettingsTabParts::PaddedItemDelegate(16, 4, list));
    menu = new QMenu(this);
    QAction* remove = menu->addAction(QStringLiteral("Remove Selected"));
    connect(remove, &QAction::triggered, this, &SettingsDictionaryTabView::removeSelectedWords);
    connect(list, &QListWidget::customContextMenuRequested, this,
        [this](const QPoint& at) { contextMenu()->popup(list->viewport()->mapToGlobal(at)); });

    emptyState = new SettingsTabParts::EmptyStateView(QStringLiteral("text.book.closed"),
        QStringLiteral("No custom words added"), QStringLiteral("Add words above to improve recognition"), this);
    emptyState->setAttribute(Qt::WA_TransparentForMouseEvents);

    // The empty state lies over the (empty) list, which keeps its place.
    auto* listArea = new QGridLayout;
    listArea->addWidget(list, 0, 0);
    listArea->addWidget(emptyState, 0, 0, Qt::AlignCenter);

    auto* editor = new QVBoxLayout;
    editor->setSpacing(12);
    editor->addLayout(entry);
    editor->addLayout(listArea, 1);

    auto* root = new QVBoxLayout(this);
    root->setContentsMargins(0, 0, 0, 0);
    root->setSpacing(20);
    root->addLayout(header);
    root->addLayout(editor, 1);

    connect(viewModel, &SettingsViewModel::dictionaryWordsChanged, this, &SettingsDictionaryTabView::showWords);
    applyColours();
    showWords();
}

bool SettingsDictionaryTabView::isEmptyStateShown() const
{
    return !emptyState->isHidden();
}

QMenu* SettingsDictionaryTabView::contextMenu()
{
    menu->actions().first()->setEnabled(!list->selectedItems().isEmpty());
    return menu;
}

void SettingsDictionaryTabView::addWord()
{
    const QString word = field->text();
    if (word.isEmpty())
        return;
    viewModel->addDictionaryWord(word);
    field->clear();
}

void SettingsDictionaryTabView::removeSelectedWords()
{
    QStringList selected;
    for (const QListWidgetItem* item : list->selectedItems())
        selected.append(item->text());
    for (const QString& word : selected)
        viewModel->removeDictionaryWord(word);
    list->clearSelection();
}

void SettingsDictionaryTabView::showWords()
{
    // Rows are the words themselves, so a selection survives a refresh.
    QStringList selected;
    for (const QListWidgetItem* item : list->selectedItems())
        selected.append(item->text());
    const QStringList words = viewModel->dictionaryWords();
    list->clear();
    for (const QString& word : words) {
        auto* item = new QListWidgetItem(word, list);
        item->setSelected(selected.contains(word));
    }
    emptyState->setVisible(words.isEmpty());
}

void SettingsDictionaryTabView::changeEvent(QEvent* event)
{
    if (event->type() == QEvent::PaletteChange)
        applyColours();
    QWidget::changeEvent(event);
}

void SettingsDictionaryTabView::applyColours()
{
    add->setIcon(
        SymbolIcons::icon(QStringLiteral("plus.circle.fill"), SymbolTint::mono(Colors::accentColor(palette()))));
    // A palette's own hint colour can sink below the field's in dark schemes.
    QPalette hint = field->palette();
    hint.setColor(QPalette::PlaceholderText, Colors::placeholderText(palette()));
    field->setPalette(hint);
}
