#pragma once

#include "core/config/TallowindError.h"

#include <QList>
#include <QObject>

#include <optional>

// Decides how an application error reaches the user: as a modal alert, one
// at a time, with later alert-worthy errors waiting their turn in arrival
// order, or as a toast, any number at once. Main thread only.
class ErrorPresentationCoordinator : public QObject {
    Q_OBJECT
    Q_PROPERTY(
        std::optional<TallowindError> currentError READ currentError WRITE setCurrentError NOTIFY currentErrorChanged)
    Q_PROPERTY(QList<TallowindError> toastErrors READ toastErrors WRITE setToastErrors NOTIFY toastErrorsChanged)

public:
    explicit ErrorPresentationCoordinator(QObject* parent = nullptr);

    // The error of the alert on screen; none while no alert is up.
    const std::optional<TallowindError>& currentError() const { return current; }
    // Writing bypasses the queue: queued errors wait for the next
    // dismissCurrentError().
    void setCurrentError(const std::optional<TallowindError>& value);
    // Toast errors, oldest first.
    const QList<TallowindError>& toastErrors() const { return toasts; }
    void setToastErrors(const QList<TallowindError>& value);
    // Alert-worthy errors waiting behind the current one, oldest first.
    const QList<TallowindError>& queuedErrors() const { return queue; }

    // An error that does not warrant an alert becomes a toast; otherwise it
    // becomes the alert, or waits when an alert is up.
    void present(const TallowindError& error);
    // Closes the alert and shows the next waiting error at once, if any.
    void dismissCurrentError();
    // Removes every toast whose description equals the error's.
    void dismissToast(const TallowindError& error);

signals:
    void currentErrorChanged(const std::optional<TallowindError>& currentError);
    void toastErrorsChanged(const QList<TallowindError>& toastErrors);

private:
    std::optional<TallowindError> current;
    QList<TallowindError> toasts;
    QList<TallowindError> queue;
};
