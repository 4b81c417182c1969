#include "shell/errors/ErrorPresentationCoordinator.h"

#include "base/Published.h"

ErrorPresentationCoordinator::ErrorPresentationCoordinator(QObject* parent) : QObject(parent) { }

void ErrorPresentationCoordinator::setCurrentError(const std::optional<TallowindError>& value)
{
    publish(this, current, value, &ErrorPresentationCoordinator::currentErrorChanged);
}

void ErrorPresentationCoordinator::setToastErrors(const QList<TallowindError>& value)
{
    publish(this, toasts, value, &ErrorPresentationCoordinator::toastErrorsChanged);
}

void ErrorPresentationCoordinator::present(const TallowindError& error)
{
    if (!error.shouldShowAlert()) {
        toasts.append(error);
        emit toastErrorsChanged(toasts);
        return;
    }
    if (!current)
        setCurrentError(error);
    else
        queue.append(error);
}

void ErrorPresentationCoordinator::dismissCurrentError()
{
    setCurrentError(std::nullopt);
    if (!queue.isEmpty())
        setCurrentError(queue.takeFirst());
}

void ErrorPresentationCoordinator::dismissToast(const TallowindError& error)
{
    // Toasts are told apart by their text: the errors have no identity.
    const QString description = error.errorDescription();
    toasts.removeIf([&](const TallowindError& toast) { return toast.errorDescription() == description; });
    emit toastErrorsChanged(toasts);
}
