#pragma once

#include "settings/tabs/SettingsTab.h"

#include <QList>
#include <QWidget>

class QStackedWidget;
class SettingsModelsTabView;
class SettingsTabButton;
class SettingsViewModel;
class UnsavedSettingsNotice;
class VisualEffectView;

// The whole content of the Settings window, 850 by 540: a translucent
// backdrop, a 180-wide sidebar with one button per tab, and the chosen
// tab's page beside it. It owns the window's view model and reloads it each
// time it is shown; a host embeds it once and shows it as often as it likes.
class SettingsView : public QWidget {
    Q_OBJECT
    Q_PROPERTY(SettingsTab selectedTab READ selectedTab WRITE setSelectedTab NOTIFY selectedTabChanged)
public:
    using SettingsTab = ::SettingsTab;

    static constexpr int contentWidth = 850;
    static constexpr int contentHeight = 540;
    static constexpr int sidebarWidth = 180;
    // Room for the window's title bar above the first sidebar button.
    static constexpr int sidebarTopMargin = 28;

    explicit SettingsView(QWidget* parent = nullptr);

    SettingsViewModel* viewModel() const { return model; }
    SettingsTab selectedTab() const { return tabValue; }
    void setSelectedTab(SettingsTab tab);

    // Reloads what the pages show from the stores. Showing the view does it
    // too; a host may call it when it brings an already shown window back.
    void reload();

    SettingsTabButton* tabButton(SettingsTab tab) const;
    QWidget* page(SettingsTab tab) const;
    QWidget* currentPage() const;
    SettingsModelsTabView* modelsPage() const { return modelsTab; }
    // Says why settings could not be saved; hidden while all are.
    UnsavedSettingsNotice* unsavedSettingsNotice() const { return unsavedNotice; }

signals:
    void selectedTabChanged(SettingsTab tab);

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    QWidget* makeSidebar();
    QWidget* makeModelsPage();
    QWidget* makeDictionaryPage();
    QWidget* makeRecordingsPage();
    QWidget* makeAdvancedPage();

    SettingsViewModel* model;
    SettingsTab tabValue = SettingsTab::models;
    VisualEffectView* backdrop;
    QStackedWidget* pages;
    SettingsModelsTabView* modelsTab = nullptr;
    UnsavedSettingsNotice* unsavedNotice = nullptr;
    QList<SettingsTabButton*> buttons;
};
