#pragma once

#include "shell/windows/ActivationPolicy.h"

#include <QObject>
#include <QPointer>

#include <memory>

class QWidget;
class TaskbarVisibility;

// Gives our windows entries in the desktop's taskbar while the activation
// policy is regular and keeps them out of it (the tray icon stands for the
// tool) while it is accessory. A window kept listed (Settings, the welcome
// window) has its entry under both policies, panels and other tool windows
// under neither. Applies to the windows there are and to every window shown
// later, before it maps. Main thread only.
class TaskbarEntries : public QObject {
    Q_OBJECT
public:
    TaskbarEntries(ActivationPolicy& policy, std::shared_ptr<TaskbarVisibility> visibility, QObject* parent = nullptr);
    ~TaskbarEntries() override;

    // Whether `window` belongs in the taskbar under `policy`.
    static bool hasEntry(const QWidget* window, ActivationPolicy::Policy policy);
    // Gives `window` its entry whatever the policy. A panel reads a window's
    // state once, when the window is listed, and some window managers never
    // take a skip state back: a window that shows the policy's change
    // (regular from its opening on) must map without one.
    static void keepListed(QWidget* window);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void applyToAll();
    void apply(QWidget* window);

    QPointer<ActivationPolicy> policy;
    std::shared_ptr<TaskbarVisibility> visibility;
};
