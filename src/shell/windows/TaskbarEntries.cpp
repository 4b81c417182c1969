#include "shell/windows/TaskbarEntries.h"

#include "platform/TaskbarVisibility.h"

#include <QApplication>
#include <QEvent>
#include <QWidget>
#include <QWindow>

namespace {

// Windows the window manager lists at all: not menus, tool tips or windows
// placed past it.
bool isManaged(const QWidget* window)
{
    const Qt::WindowType type = window->windowType();
    return (type == Qt::Window || type == Qt::Dialog || type == Qt::Tool)
        && !window->windowFlags().testFlag(Qt::X11BypassWindowManagerHint);
}

const char* const keptListed = "tallowindKeptInTaskbar";

} // namespace

TaskbarEntries::TaskbarEntries(
    ActivationPolicy& activationPolicy, std::shared_ptr<TaskbarVisibility> taskbar, QObject* parent)
    : QObject(parent), policy(&activationPolicy), visibility(std::move(taskbar))
{
    connect(policy, &ActivationPolicy::policyChanged, this, &TaskbarEntries::applyToAll);
    // A window's show event comes before it is mapped, while its state can
    // still be written directly.
    qApp->installEventFilter(this);
    applyToAll();
}

TaskbarEntries::~TaskbarEntries()
{
    if (qApp)
        qApp->removeEventFilter(this);
}

bool TaskbarEntries::hasEntry(const QWidget* window, ActivationPolicy::Policy policy)
{
    const Qt::WindowType type = window->windowType();
    if (type != Qt::Window && type != Qt::Dialog)
        return false;
    return policy == ActivationPolicy::Policy::regular || window->property(keptListed).toBool();
}

void TaskbarEntries::keepListed(QWidget* window)
{
    window->setProperty(keptListed, true);
}

bool TaskbarEntries::eventFilter(QObject* watched, QEvent* event)
{
    // Only widgets' events: work posted from other threads passes this
    // filter too, and its event is not ours to read before its receiver.
    if (watched->isWidgetType() && event->type() == QEvent::Show) {
        auto* widget = static_cast<QWidget*>(watched);
        if (widget->isWindow())
            apply(widget);
    }
    return false;
}

void TaskbarEntries::applyToAll()
{
    for (QWidget* window : QApplication::topLevelWidgets())
        if (window->windowHandle())
            apply(window);
}

void TaskbarEntries::apply(QWidget* window)
{
    if (!visibility || !policy || !isManaged(window) || !window->windowHandle())
        return;
    visibility->setSkipsTaskbar(window->windowHandle(), !hasEntry(window, policy->policy()));
}
