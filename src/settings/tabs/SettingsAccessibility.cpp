#include "settings/tabs/SettingsAccessibility.h"

#include "settings/tabs/SettingsModelCard.h"
#include "settings/tabs/SettingsTabButton.h"

#include <QAccessibleWidget>

namespace {

// A widget that a screen reader can press: Qt's plain widget interface has
// only the focus action.
class PressableAccessible : public QAccessibleWidget {
public:
    PressableAccessible(QWidget* widget, QAccessible::Role role) : QAccessibleWidget(widget, role) { }

    QStringList actionNames() const override
    {
        QStringList names = QAccessibleWidget::actionNames();
        if (canPress())
            names.prepend(pressAction());
        return names;
    }

    void doAction(const QString& name) override
    {
        if (name == pressAction() && canPress())
            press();
        else
            QAccessibleWidget::doAction(name);
    }

protected:
    virtual bool canPress() const { return widget()->isEnabled(); }
    virtual void press() = 0;
};

class SidebarTabAccessible final : public PressableAccessible {
public:
    explicit SidebarTabAccessible(SettingsTabButton* button) : PressableAccessible(button, QAccessible::PageTab) { }

    QAccessible::State state() const override
    {
        QAccessible::State result = QAccessibleWidget::state();
        result.selectable = true;
        result.selected = button()->isSelected();
        return result;
    }

private:
    SettingsTabButton* button() const { return static_cast<SettingsTabButton*>(widget()); }
    void press() override { button()->click(); }
};

// The card's painted circle stands for its checked state, so the indicator
// picture is left out of its children.
class ModelCardAccessible final : public PressableAccessible {
public:
    explicit ModelCardAccessible(SettingsModelCard* card) : PressableAccessible(card, QAccessible::RadioButton) { }

    QAccessible::State state() const override
    {
        QAccessible::State result = QAccessibleWidget::state();
        result.checkable = true;
        result.checked = card()->isSelected();
        return result;
    }

    int childCount() const override { return static_cast<int>(shownChildren().size()); }

    QAccessibleInterface* child(int index) const override
    {
        const QList<QAccessibleInterface*> all = shownChildren();
        return index >= 0 && index < all.size() ? all.at(index) : nullptr;
    }

    int indexOfChild(const QAccessibleInterface* child) const override
    {
        return child ? static_cast<int>(shownChildren().indexOf(const_cast<QAccessibleInterface*>(child))) : -1;
    }

private:
    SettingsModelCard* card() const { return static_cast<SettingsModelCard*>(widget()); }
    bool canPress() const override { return card()->isDownloaded(); }
    void press() override { card()->choose(); }

    QList<QAccessibleInterface*> shownChildren() const
    {
        QList<QAccessibleInterface*> result;
        for (int index = 0; index < QAccessibleWidget::childCount(); ++index) {
            QAccessibleInterface* each = QAccessibleWidget::child(index);
            if (each && each->object() != card()->selectionIndicator())
                result.append(each);
        }
        return result;
    }
};

QAccessibleInterface* factory(const QString& className, QObject* object)
{
    if (className == QLatin1String(SettingsTabButton::staticMetaObject.className()))
        if (auto* button = qobject_cast<SettingsTabButton*>(object))
            return new SidebarTabAccessible(button);
    if (className == QLatin1String(SettingsModelCard::staticMetaObject.className()))
        if (auto* card = qobject_cast<SettingsModelCard*>(object))
            return new ModelCardAccessible(card);
    return nullptr;
}

} // namespace

namespace SettingsAccessibility {

void install()
{
    // Once: Qt asks every installed factory in turn.
    [[maybe_unused]] static const bool installed = (QAccessible::installFactory(factory), true);
}

void announceState(QWidget* widget, QAccessible::State changed)
{
    if (!QAccessible::isActive())
        return;
    QAccessibleStateChangeEvent event(widget, changed);
    QAccessible::updateAccessibility(&event);
}

} // namespace SettingsAccessibility
