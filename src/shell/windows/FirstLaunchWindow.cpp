#include "shell/windows/FirstLaunchWindow.h"

#include "shell/ShellHost.h"
#include "shell/theme/WindowShape.h"
#include "shell/windows/SettingsShortcut.h"
#include "shell/windows/SettingsWindow.h"
#include "shell/windows/TaskbarEntries.h"

#include <QCloseEvent>
#include <QMouseEvent>
#include <QVBoxLayout>

FirstLaunchWindow::FirstLaunchWindow(QWidget* view, ShellHost* shellHost, QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::FramelessWindowHint), content(view), delegate(shellHost)
{
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(QStringLiteral("Welcome to Tallowind"));
    setAccessibleName(QStringLiteral("Welcome to Tallowind"));
    // The tool comes forward with this window: it is listed from its first
    // mapping on.
    TaskbarEntries::keepListed(this);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(content);
    setFocusProxy(content);
    SettingsShortcut::install(this, [this] {
        if (delegate)
            delegate->showSettings();
    });
    setFixedSize(contentWidth, contentHeight);
    WindowShape::apply(this, cornerRadius);
    centreOnScreen(this);
}

void FirstLaunchWindow::present()
{
    show();
    raise();
    activateWindow();
    // Through the content's focus proxy, onto the control it opens with.
    setFocus(Qt::ActiveWindowFocusReason);
}

void FirstLaunchWindow::closeEvent(QCloseEvent* event)
{
    if (delegate)
        delegate->windowWillClose(this);
    QWidget::closeEvent(event);
}

void FirstLaunchWindow::moveEvent(QMoveEvent* event)
{
    QWidget::moveEvent(event);
    if (delegate)
        delegate->windowDidMove(this);
}

void FirstLaunchWindow::mousePressEvent(QMouseEvent* event)
{
    if (!drag.press(this, event))
        QWidget::mousePressEvent(event);
}

void FirstLaunchWindow::mouseMoveEvent(QMouseEvent* event)
{
    if (!drag.move(this, event))
        QWidget::mouseMoveEvent(event);
}

void FirstLaunchWindow::mouseReleaseEvent(QMouseEvent* event)
{
    drag.release();
    QWidget::mouseReleaseEvent(event);
}
