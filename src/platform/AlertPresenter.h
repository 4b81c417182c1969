#pragma once

#include <QString>
#include <QStringList>

enum class AlertStyle { Informational, Warning, Critical };

struct Alert {
    QString messageText;
    QString informativeText;
    AlertStyle style = AlertStyle::Warning;
    QStringList buttons; // first is the default button; empty means a single "OK"
    // Rich text (for example release notes) shown in a scrolling box under
    // the informative text. Web links in it open in the browser; nothing
    // else it names is fetched or opened.
    QString detailsHtml = {};
};

// Modal alerts. Called on the main thread.
class AlertPresenter {
public:
    virtual ~AlertPresenter() = default;
    // Blocks until the alert is closed. Returns the index of the chosen button
    // in `buttons`, or -1 when the alert was closed without a button.
    virtual int runModal(const Alert& alert) = 0;
    // The application quits: no alert shows any more, and runModal()
    // returns -1 at once.
    virtual void stopPresenting() = 0;
};
