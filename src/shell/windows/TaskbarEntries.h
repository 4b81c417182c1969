#pragma once

#include "shell/windows/ActivationPolicy.h"

#include <QObject>
#include <QPointer>

#include <memory>

class QWidget;
class TaskbarVisibility;

// Gives our windows entries in the desktop's taskbar while the activation
// policy is regular and keeps every one of them out of it (the tray icon
// stands for the tool) while it is accessory. Panels and other tool windows
// stay out in both. Applies to the windows there are and to every window
// shown later. Main thread only.
class TaskbarEntries : public QObject {
    Q_OBJECT
public:
    TaskbarEntries(ActivationPolicy& policy, std::shared_ptr<TaskbarVisibility> visibility, QObject* parent = nullptr);
    ~TaskbarEntries() override;

    // Whether `window` belongs in the taskbar under `policy`.
    static bool hasEntry(const QWidget* window, ActivationPolicy::Policy policy);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void applyToAll();
    void apply(QWidget* window);

    QPointer<ActivationPolicy> policy;
    std::shared_ptr<TaskbarVisibility> visibility;
};
