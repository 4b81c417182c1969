// Every text of every window, as painted in light and dark schemes, stands
// out from what is behind it by the ratio body text needs.
#include "ShellShots.h"

#include "downloads/FirstLaunchView.h"
#include "downloads/FirstLaunchViewModel.h"
#include "gallery/DesktopPalettes.h"
#include "gallery/IdleShellHost.h"
#include "popover/PopoverFixture.h"
#include "popover/PopoverView.h"
#include "popover/PopoverViewModel.h"
#include "settings/SettingsView.h"
#include "settings/SettingsViewModel.h"
#include "settings/shortcuts/ShortcutCaptureHost.h"
#include "settings/tabs/AdvancedTab.h"
#include "settings/tabs/SettingsTab.h"
#include "shell/theme/Appearance.h"
#include "shell/theme/Contrast.h"
#include "shell/theme/OutlinedIndicatorStyle.h"
#include "shell/tray/PopoverPanel.h"
#include "shell/windows/FirstLaunchWindow.h"
#include "shell/windows/SettingsWindow.h"
#include "support/SettingsReset.h"
#include "support/TextContrast.h"

#include <QApplication>
#include <QCheckBox>
#include <QStyleOptionButton>

#include <algorithm>
#include <functional>

namespace {

struct Scheme {
    const char* name;
    QPalette palette;
};

QList<Scheme> schemes()
{
    return {{"light", lightPalette()}, {"dark", darkPalette()}, {"breeze-light", breezePalette(false)},
        {"breeze-dark", breezePalette(true)}};
}

class WindowTextContrast : public PopoverTest {
protected:
    void TearDown() override
    {
        Appearance::shared().setBlurBehind(true);
        QApplication::setPalette(QPalette());
        PopoverTest::TearDown();
    }

    // Measures `window` in every scheme, `build` making it afresh in each,
    // as on a compositing desktop that blurs nothing behind windows, over
    // dark and light desktops; `shown`, when given, is a text that must be
    // among those measured.
    void expectLegible(
        const QString& name, const std::function<std::unique_ptr<QWidget>()>& build, const QString& shown = {})
    {
        Appearance::shared().setBlurBehind(false);
        for (const Scheme& scheme : schemes()) {
            SCOPED_TRACE(std::string(scheme.name) + " " + name.toStdString());
            QApplication::setPalette(scheme.palette);
            std::unique_ptr<QWidget> window = build();
            window->show();
            QApplication::processEvents();
            saveShot(*window, name + QLatin1Char('-') + QLatin1String(scheme.name));
            const QList<MeasuredText> texts = measureTexts(*window);
            EXPECT_FALSE(texts.isEmpty());
            for (const QColor& desktop : {QColor(Qt::black), QColor(Qt::white)})
                for (const MeasuredText& text : measureTexts(*window, desktop))
                    EXPECT_GE(text.ratio, Contrast::textRatio)
                        << text.what.toStdString() << " over " << desktop.name().toStdString();
            for (const MeasuredText& text : texts)
                EXPECT_GE(text.ratio, Contrast::textRatio) << text.what.toStdString();
            if (!shown.isEmpty()) {
                EXPECT_TRUE(std::any_of(
                    texts.begin(), texts.end(), [&](const MeasuredText& text) { return text.what.contains(shown); }))
                    << shown.toStdString() << " is not shown";
            }
        }
    }

    // A Settings window open at `tab`, rows asking `capture` when given.
    std::unique_ptr<QWidget> settingsWindow(SettingsTab tab, ShortcutCaptureHost* capture = nullptr)
    {
        auto window = std::make_unique<SettingsWindow>(&host);
        auto* view = new SettingsView;
        if (capture)
            view->viewModel()->setShortcutCaptureHost(capture);
        view->setSelectedTab(tab);
        window->setContentWidget(view);
        return window;
    }

    IdleShellHost host;
};

} // namespace

TEST_F(WindowTextContrast, WelcomeWindowInEachOfItsStates)
{
    const QList<std::function<void(FirstLaunchViewModel&)>> states = {
        [](FirstLaunchViewModel&) {},
        [](FirstLaunchViewModel& model) {
            model.setIsDownloading(true);
            model.setDownloadProgress(0.42);
            model.setStatusText(QStringLiteral("Downloading... 229.9 MB / 547.4 MB"));
        },
        [](FirstLaunchViewModel& model) { model.setDownloadComplete(true); },
        [](FirstLaunchViewModel& model) {
            model.setDownloadFailed(true);
            model.setStatusText(QStringLiteral("Download failed: Could not connect to the server."));
        },
    };
    for (int index = 0; index < states.size(); ++index)
        expectLegible(QStringLiteral("welcome-%1").arg(index), [&, index] {
            auto* view = new FirstLaunchView([] {});
            states.at(index)(*view->viewModel());
            return std::make_unique<FirstLaunchWindow>(view, &host);
        });
}

TEST_F(WindowTextContrast, PopoverWithItsEmptyTranscript)
{
    FakePopoverHost popoverHost;
    expectLegible(QStringLiteral("popover"), [&] {
        auto panel = std::make_unique<PopoverPanel>();
        panel->setContentWidget(new PopoverView(std::make_shared<PopoverViewModel>(&popoverHost)));
        return panel;
    });
}

TEST_F(WindowTextContrast, SettingsOnEveryTab)
{
    for (const SettingsTab tab : SettingsTabs::allCases())
        expectLegible(
            QStringLiteral("settings-") + SettingsTabs::rawValue(tab), [&, tab] { return settingsWindow(tab); });
}

TEST_F(WindowTextContrast, SettingsSayingTheyCouldNotBeSaved)
{
    UnwritableSettings refused;
    Defaults::setValue("Dictionary", QStringList{"Tallowind"});
    ASSERT_FALSE(Defaults::unsavedReason().isEmpty());
    expectLegible(
        QStringLiteral("settings-unsaved"), [&] { return settingsWindow(SettingsTab::dictionary); },
        QStringLiteral("Settings could not be saved"));
}

// Settings marks the shortcut another program holds, legibly.
TEST_F(WindowTextContrast, AShortcutTakenByAnotherProgram)
{
    struct AltWTaken final : ShortcutCaptureHost {
        void setGlobalShortcutsSuspended(bool) override { }
        bool refuseTakenShortcut(const KeyboardShortcut&) override { return false; }
        bool isShortcutTaken(const KeyboardShortcut& shortcut) const override
        {
            return shortcut == KeyboardShortcut{13, KeyboardShortcut::optionFlag};
        }
    } taken;
    expectLegible(
        QStringLiteral("settings-advanced-taken"), [&] { return settingsWindow(SettingsTab::advanced, &taken); },
        QStringLiteral("Taken by another program"));
}

// An unchecked box is only its edge: in the application's style, that edge
// stands out from the window by the ratio user-interface parts need.
TEST_F(WindowTextContrast, AnUncheckedBoxShowsItsEdgeInEveryScheme)
{
    QApplication::setStyle(new OutlinedIndicatorStyle);
    for (const Scheme& scheme : schemes()) {
        SCOPED_TRACE(scheme.name);
        QApplication::setPalette(scheme.palette);
        SettingsViewModel model;
        SettingsAdvancedTabView page(&model);
        page.resize(640, 480);
        page.setAutoFillBackground(true);
        QCheckBox* box = page.streamingSwitch();
        box->setChecked(false);
        page.show();
        QApplication::processEvents();
        QStyleOptionButton option;
        option.initFrom(box);
        const QRect indicator = box->style()->subElementRect(QStyle::SE_CheckBoxIndicator, &option, box);
        const QImage shot = page.grab().toImage();
        EXPECT_GE(inkContrast(shot, indicator.adjusted(-2, -2, 2, 2).translated(box->mapTo(&page, QPoint()))), 3.0);
    }
}
