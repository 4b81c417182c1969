#include "shell/windows/AccessibleWindows.h"

#include <QAccessibleObject>
#include <QAccessibleWidget>
#include <QGuiApplication>
#include <QWidget>
#include <QWindow>

namespace {

bool listed(const QWindow* window)
{
    if (window->type() == Qt::Desktop)
        return false;
    // A hidden pop-up is a menu that has closed; other hidden windows stay
    // listed as Qt lists them.
    return window->type() != Qt::Popup || window->isVisible();
}

class ApplicationWithPopups final : public QAccessibleApplication {
public:
    int childCount() const override { return static_cast<int>(children().size()); }

    QAccessibleInterface* child(int index) const override
    {
        const QList<QAccessibleInterface*> all = children();
        return index >= 0 && index < all.size() ? all.at(index) : nullptr;
    }

    int indexOfChild(const QAccessibleInterface* child) const override
    {
        if (!child)
            return -1;
        const QList<QAccessibleInterface*> all = children();
        for (int index = 0; index < all.size(); ++index)
            if (all.at(index)->object() == child->object())
                return index;
        return -1;
    }

private:
    static QList<QAccessibleInterface*> children()
    {
        QList<QAccessibleInterface*> result;
        for (QWindow* window : QGuiApplication::topLevelWindows()) {
            if (!listed(window))
                continue;
            if (QAccessibleInterface* root = window->accessibleRoot(); root && root->object())
                result.append(root);
        }
        return result;
    }
};

// A plain widget is a window while it is top-level. The role is asked each
// time: a view may be built on its own and placed in a window later, after
// its interface was made.
class PlainWidgetAccessible final : public QAccessibleWidget {
public:
    explicit PlainWidgetAccessible(QWidget* widget) : QAccessibleWidget(widget) { }

    QAccessible::Role role() const override
    {
        return widget()->isWindow() ? QAccessible::Window : QAccessibleWidget::role();
    }
};

// Only plain widgets: Qt's classes with an interface of their own (message
// boxes, menus, dialogs) are answered before their walk up reaches QWidget.
QAccessibleInterface* factory(const QString& className, QObject* object)
{
    if (object == QCoreApplication::instance() && qobject_cast<QGuiApplication*>(object))
        return new ApplicationWithPopups;
    if (className != QLatin1String("QWidget"))
        return nullptr;
    auto* widget = qobject_cast<QWidget*>(object);
    return widget ? new PlainWidgetAccessible(widget) : nullptr;
}

} // namespace

namespace AccessibleWindows {

void install()
{
    // Once: Qt asks every installed factory in turn.
    [[maybe_unused]] static const bool installed = (QAccessible::installFactory(factory), true);
}

} // namespace AccessibleWindows
