// The shell's windows in light and dark, saved as pictures to judge by eye:
// the popover panel and Settings window with their placeholders, the
// welcome window in each of its states and the tray menu.
//
//   shell_gallery DIR     saves shell-*-light.png and shell-*-dark.png, and
//                         the same in a desktop's Breeze schemes
//   --solid               as without a compositing manager
#include "DesktopPalettes.h"
#include "GalleryPalettes.h"
#include "GalleryPictures.h"
#include "IdleShellHost.h"
#include "downloads/FirstLaunchView.h"
#include "downloads/FirstLaunchViewModel.h"
#include "shell/theme/Appearance.h"
#include "shell/tray/PopoverPanel.h"
#include "shell/tray/StatusMenu.h"
#include "shell/windows/FirstLaunchWindow.h"
#include "shell/windows/SettingsWindow.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QDir>
#include <QMenu>
#include <QPainter>

#include <cstdio>
#include <functional>

namespace {

// A window as it would sit on a desktop: over a calm backdrop, 24 pixels
// of it showing around the window.
QImage onDesktop(QWidget* window)
{
    const QPixmap shot = window->grab();
    QImage picture(shot.size() / shot.devicePixelRatio() + QSize(48, 48), QImage::Format_ARGB32);
    QPainter painter(&picture);
    paintBackdrop(painter, picture.rect());
    painter.drawPixmap(24, 24, shot);
    return picture;
}

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QApplication::setStyle(QStringLiteral("Fusion"));
    QCommandLineParser parser;
    const QCommandLineOption solid(QStringLiteral("solid"), QStringLiteral("As without a compositing manager."));
    const QCommandLineOption unblurred(QStringLiteral("unblurred"),
        QStringLiteral("As on a compositing desktop: nothing behind the glass is blurred."));
    parser.addOption(solid);
    parser.addOption(unblurred);
    parser.addPositionalArgument(QStringLiteral("folder"), QStringLiteral("Where the pictures go."));
    parser.process(app);
    if (parser.positionalArguments().size() != 1)
        parser.showHelp(2);
    const QString folder = parser.positionalArguments().front();
    QDir().mkpath(folder);
    Appearance::shared().setReduceTransparency(parser.isSet(solid));
    Appearance::shared().setBlurBehind(!parser.isSet(unblurred));

    IdleShellHost host;
    bool ok = true;
    for (const auto& [scheme, palette] :
        {std::pair{QStringLiteral("light"), lightPalette()}, std::pair{QStringLiteral("dark"), darkPalette()},
            std::pair{QStringLiteral("breeze-light"), breezePalette(false)},
            std::pair{QStringLiteral("breeze-dark"), breezePalette(true)}}) {
        QApplication::setPalette(palette);
        const QString suffix = QStringLiteral("-%1.png").arg(scheme);

        PopoverPanel popover;
        ok &= savePicture(onDesktop(&popover), folder, QStringLiteral("shell-popover") + suffix);
        popover.resizeKeepingTop(true);
        ok &= savePicture(onDesktop(&popover), folder, QStringLiteral("shell-popover-expanded") + suffix);

        SettingsWindow settings(&host);
        ok &= savePicture(onDesktop(&settings), folder, QStringLiteral("shell-settings") + suffix);

        const std::vector<std::pair<QString, std::function<void(FirstLaunchViewModel&)>>> states = {
            {QStringLiteral("ready"), [](FirstLaunchViewModel&) {}},
            {QStringLiteral("downloading"),
                [](FirstLaunchViewModel& model) {
                    model.setIsDownloading(true);
                    model.setDownloadProgress(0.42);
                    model.setStatusText(QStringLiteral("Downloading... 229.9 MB / 547.4 MB"));
                }},
            {QStringLiteral("done"), [](FirstLaunchViewModel& model) { model.setDownloadComplete(true); }},
            {QStringLiteral("failed"),
                [](FirstLaunchViewModel& model) {
                    model.setDownloadFailed(true);
                    model.setStatusText(QStringLiteral("Download failed: Could not connect to the server."));
                }},
        };
        for (const auto& [name, apply] : states) {
            auto* view = new FirstLaunchView([] {});
            FirstLaunchWindow window(view, &host);
            apply(*view->viewModel());
            ok &= savePicture(onDesktop(&window), folder, QStringLiteral("shell-welcome-%1").arg(name) + suffix);
        }

        QMenu* menu = StatusMenu::build(host);
        menu->adjustSize();
        ok &= savePicture(onDesktop(menu), folder, QStringLiteral("shell-menu") + suffix);
        delete menu;
    }
    return ok ? 0 : 1;
}
