#include "shell/windows/SettingsWindow.h"

#include "shell/ShellHost.h"
#include "shell/windows/ContentHost.h"
#include "shell/windows/SettingsShortcut.h"
#include "shell/windows/TaskbarEntries.h"

#include <QCloseEvent>
#include <QGuiApplication>
#include <QScreen>
#include <QVBoxLayout>

SettingsWindow::SettingsWindow(ShellHost* shellHost, QWidget* parent)
    : QWidget(parent, Qt::Window),
      host(new ContentHost(makeShellPlaceholder(QStringLiteral("Settings"), 0), this)),
      delegate(shellHost)
{
    setWindowTitle(QStringLiteral("Settings"));
    setAccessibleName(QStringLiteral("Settings"));
    // The tool comes forward with this window: it is listed from its first
    // mapping on.
    TaskbarEntries::keepListed(this);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(host);
    setFocusProxy(host);
    SettingsShortcut::install(this, [this] {
        if (delegate)
            delegate->showSettings();
    });
    resize(contentWidth, contentHeight);
    centreOnScreen(this);
}

void SettingsWindow::setContentWidget(QWidget* content)
{
    host->setContentWidget(content);
}

QWidget* SettingsWindow::contentWidget() const
{
    return host->contentWidget();
}

bool SettingsWindow::showsPlaceholder() const
{
    return host->showsPlaceholder();
}

void SettingsWindow::present()
{
    show();
    setWindowState(windowState() & ~Qt::WindowMinimized);
    raise();
    activateWindow();
}

void SettingsWindow::closeEvent(QCloseEvent* event)
{
    if (delegate)
        delegate->windowWillClose(this);
    QWidget::closeEvent(event);
}

void SettingsWindow::moveEvent(QMoveEvent* event)
{
    QWidget::moveEvent(event);
    if (delegate)
        delegate->windowDidMove(this);
}

void centreOnScreen(QWidget* window, const QScreen* screen)
{
    if (!screen)
        screen = QGuiApplication::primaryScreen();
    if (!screen)
        return;
    QRect frame(QPoint(), window->size());
    frame.moveCenter(screen->availableGeometry().center());
    window->move(frame.topLeft());
}
