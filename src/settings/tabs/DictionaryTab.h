#pragma once

#include <QWidget>

class QLineEdit;
class QListWidget;
class QMenu;
class QToolButton;
class SettingsViewModel;
namespace SettingsTabParts {
class EmptyStateView;
}

// The "Dictionary" tab: the words the recognizer is given as its prompt, a
// field to add one and "Remove Selected" in the list's context menu.
class SettingsDictionaryTabView : public QWidget {
    Q_OBJECT
public:
    explicit SettingsDictionaryTabView(SettingsViewModel* viewModel, QWidget* parent = nullptr);

    QLineEdit* wordField() const { return field; }
    QToolButton* addButton() const { return add; }
    QListWidget* wordList() const { return list; }
    bool isEmptyStateShown() const;
    // The list's context menu as it would open now.
    QMenu* contextMenu();
    void addWord();
    void removeSelectedWords();

protected:
    void changeEvent(QEvent* event) override;

private:
    void showWords();
    void applyColours();

    SettingsViewModel* viewModel;
    QLineEdit* field = nullptr;
    QToolButton* add = nullptr;
    QListWidget* list = nullptr;
    SettingsTabParts::EmptyStateView* emptyState = nullptr;
    QMenu* menu = nullptr;
};
