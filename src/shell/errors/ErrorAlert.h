#pragma once

#include "core/config/TallowindError.h"

#include <QMessageBox>
#include <QObject>
#include <QPointer>
#include <QUrl>

#include <functional>
#include <memory>
#include <optional>

class ErrorPresentationCoordinator;

class QWidget;
class Workspace;

// A two-way link to an optional error kept elsewhere: the alert reads the
// error through it and clears it through it.
struct ErrorBinding {
    std::function<std::optional<TallowindError>()> get;
    std::function<void(const std::optional<TallowindError>&)> set;
    // Calls the given function whenever the error may have changed; the
    // context object ends the watch when it goes.
    std::function<void(QObject* context, std::function<void()> changed)> watch;

    // The coordinator's current alert. Clearing goes through
    // dismissCurrentError(), so the next waiting error follows at once
    // instead of staying queued.
    static ErrorBinding to(ErrorPresentationCoordinator& coordinator);
};

// Shows a window-modal "Error" alert over a view while the bound error is
// set: the error's message, "OK", and, for errors that carry a recovery
// suggestion, "Open Settings", which opens the matching page of the
// desktop's settings when such a program is installed (the button is
// hidden where none is).
class ErrorAlertModifier : public QObject {
    Q_OBJECT

public:
    ErrorAlertModifier(
        QWidget* content, ErrorBinding error, std::function<void()> onDismiss, std::shared_ptr<Workspace> workspace);
    ~ErrorAlertModifier() override;

    // Brings the alert in line with the bound error: opens it, updates it or
    // closes it. Bindings that can watch call this themselves.
    void refresh();
    // The alert on screen, if any.
    QMessageBox* alert() const { return box; }

    // The settings page that "Open Settings" opens for an error.
    static QUrl settingsURLFor(const TallowindError& error);
    bool offersSettings(const TallowindError& error) const;

    inline static const QString okTitle = QStringLiteral("OK");
    inline static const QString openSettingsTitle = QStringLiteral("Open Settings");

private:
    void open(const TallowindError& error);
    void close();
    void chooseOk();
    void chooseOpenSettings(const TallowindError& presented);

    QPointer<QWidget> content;
    ErrorBinding binding;
    std::function<void()> onDismiss;
    std::shared_ptr<Workspace> workspace;
    QPointer<QMessageBox> box;
    std::optional<TallowindError> shown;
};

// Applies the alert to a view; the modifier lives as long as the view.
ErrorAlertModifier* errorAlert(
    QWidget* content, ErrorBinding error, std::function<void()> onDismiss, std::shared_ptr<Workspace> workspace);
