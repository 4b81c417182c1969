#include "settings/SettingsView.h"

#include "base/Defaults.h"
#include "settings/SettingsViewModel.h"
#include "settings/UnsavedSettingsNotice.h"
#include "settings/tabs/AdvancedTab.h"
#include "settings/tabs/DictionaryTab.h"
#include "settings/tabs/RecordingsTab.h"
#include "settings/tabs/SettingsAccessibility.h"
#include "settings/tabs/SettingsModelsTabView.h"
#include "settings/tabs/SettingsTabButton.h"
#include "shell/theme/TallowindTheme.h"
#include "shell/theme/VisualEffectView.h"

#include <QHBoxLayout>
#include <QPainter>
#include <QStackedWidget>
#include <QVBoxLayout>

namespace {

// The sidebar column, with the faint divider along its trailing edge.
class Sidebar : public QWidget {
public:
    using QWidget::QWidget;

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter painter(this);
        QColor divider = TallowindTheme::Colors::textPrimary(palette());
        divider.setAlphaF(0.1f);
        painter.fillRect(QRect(width() - 1, 0, 1, height()), divider);
    }
};

} // namespace

SettingsView::SettingsView(QWidget* parent)
    : QWidget(parent),
      model(new SettingsViewModel(this)),
      backdrop(new VisualEffectView(
          VisualEffectView::Material::popover, VisualEffectView::BlendingMode::behindWindow, this)),
      pages(new QStackedWidget(this))
{
    SettingsAccessibility::install();
    setAccessibleName(QStringLiteral("Settings"));
    setFixedSize(contentWidth, contentHeight);
    backdrop->lower();

    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(0);
    row->addWidget(makeSidebar());
    // One page per tab, in sidebar order.
    pages->addWidget(makeModelsPage());
    pages->addWidget(makeDictionaryPage());
    pages->addWidget(makeRecordingsPage());
    pages->addWidget(makeAdvancedPage());
    auto* column = new QVBoxLayout;
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);
    unsavedNotice = new UnsavedSettingsNotice(this);
    unsavedNotice->setContentsMargins(20, 12, 20, 0);
    column->addWidget(unsavedNotice);
    column->addWidget(pages, 1);
    row->addLayout(column, 1);
    setSelectedTab(SettingsTab::models);
}

QWidget* SettingsView::makeSidebar()
{
    auto* sidebar = new Sidebar(this);
    sidebar->setFixedWidth(sidebarWidth);
    auto* column = new QVBoxLayout(sidebar);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);
    column->addSpacing(sidebarTopMargin);
    for (SettingsTab tab : SettingsTabs::allCases()) {
        column->addSpacing(tab == SettingsTab::models ? 12 : 4);
        auto* button = new SettingsTabButton(tab, sidebar);
        connect(button, &QAbstractButton::clicked, this, [this, tab] { setSelectedTab(tab); });
        auto* inset = new QHBoxLayout;
        inset->setContentsMargins(12, 0, 12, 0);
        inset->addWidget(button);
        column->addLayout(inset);
        buttons.append(button);
    }
    column->addStretch(1);
    return sidebar;
}

QWidget* SettingsView::makeModelsPage()
{
    modelsTab = new SettingsModelsTabView(model);
    return modelsTab;
}

QWidget* SettingsView::makeDictionaryPage()
{
    return new SettingsDictionaryTabView(model);
}

QWidget* SettingsView::makeRecordingsPage()
{
    return new SettingsRecordingsTabView(model);
}

QWidget* SettingsView::makeAdvancedPage()
{
    return new SettingsAdvancedTabView(model);
}

void SettingsView::setSelectedTab(SettingsTab tab)
{
    tabValue = tab;
    for (SettingsTabButton* button : buttons)
        button->setSelected(button->tab() == tab);
    pages->setCurrentIndex(static_cast<int>(SettingsTabs::allCases().indexOf(tab)));
    emit selectedTabChanged(tab);
}

void SettingsView::reload()
{
    model->loadInitialData();
}

SettingsTabButton* SettingsView::tabButton(SettingsTab tab) const
{
    for (SettingsTabButton* button : buttons)
        if (button->tab() == tab)
            return button;
    return nullptr;
}

QWidget* SettingsView::page(SettingsTab tab) const
{
    return pages->widget(static_cast<int>(SettingsTabs::allCases().indexOf(tab)));
}

QWidget* SettingsView::currentPage() const
{
    return pages->currentWidget();
}

void SettingsView::showEvent(QShowEvent* event)
{
    reload();
    QWidget::showEvent(event);
}

void SettingsView::hideEvent(QHideEvent* event)
{
    // Closing the window is a moment to try again what could not be saved.
    Defaults::saveUnsaved();
    QWidget::hideEvent(event);
}

void SettingsView::resizeEvent(QResizeEvent* event)
{
    backdrop->setGeometry(rect());
    QWidget::resizeEvent(event);
}
