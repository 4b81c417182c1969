#include "shell/errors/ErrorAlert.h"

#include "platform/Workspace.h"
#include "shell/errors/ErrorPresentationCoordinator.h"

#include <QMessageBox>
#include <QPushButton>
#include <QWidget>

ErrorBinding ErrorBinding::to(ErrorPresentationCoordinator& coordinator)
{
    QPointer<ErrorPresentationCoordinator> source(&coordinator);
    ErrorBinding binding;
    binding.get = [source]() -> std::optional<TallowindError> {
        return source ? source->currentError() : std::nullopt;
    };
    binding.set = [source](const std::optional<TallowindError>& value) {
        if (!source)
            return;
        if (value)
            source->setCurrentError(value);
        else
            source->dismissCurrentError();
    };
    binding.watch = [source](QObject* context, std::function<void()> changed) {
        if (source)
            QObject::connect(
                source, &ErrorPresentationCoordinator::currentErrorChanged, context, [changed] { changed(); });
    };
    return binding;
}

ErrorAlertModifier::ErrorAlertModifier(QWidget* contentView, ErrorBinding error, std::function<void()> dismissed,
    std::shared_ptr<Workspace> settingsOpener)
    : QObject(contentView),
      content(contentView),
      binding(std::move(error)),
      onDismiss(std::move(dismissed)),
      workspace(std::move(settingsOpener))
{
    if (binding.watch)
        binding.watch(this, [this] { refresh(); });
    refresh();
}

ErrorAlertModifier::~ErrorAlertModifier()
{
    delete box.data();
}

QUrl ErrorAlertModifier::settingsURLFor(const TallowindError& error)
{
    switch (error.kind()) {
    case TallowindError::Kind::microphoneAccessDenied:
    case TallowindError::Kind::noAudioInput:
        // Choosing and enabling the microphone happens in the sound settings.
        return Workspace::microphoneSettingsURL();
    default:
        return Workspace::systemSettingsURL();
    }
}

bool ErrorAlertModifier::offersSettings(const TallowindError& error) const
{
    return error.recoverySuggestion().has_value() && workspace && workspace->canOpenURL(settingsURLFor(error));
}

void ErrorAlertModifier::refresh()
{
    const std::optional<TallowindError> error = binding.get ? binding.get() : std::nullopt;
    if (!error) {
        close();
        return;
    }
    if (box && shown && *shown == *error)
        return;
    close();
    open(*error);
}

void ErrorAlertModifier::open(const TallowindError& error)
{
    QWidget* parent = content ? content->window() : nullptr;
    box = new QMessageBox(
        QMessageBox::Warning, QStringLiteral("Error"), error.userMessage(), QMessageBox::NoButton, parent);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setTextFormat(Qt::PlainText);
    box->setAccessibleName(QStringLiteral("Error"));
    box->setAccessibleDescription(error.userMessage());
    box->setWindowModality(parent ? Qt::WindowModal : Qt::ApplicationModal);
    shown = error;

    QPushButton* ok = box->addButton(okTitle, QMessageBox::AcceptRole);
    ok->setAccessibleName(okTitle);
    box->setDefaultButton(ok);
    // Escape and the window's close button count as "OK": the alert must not
    // leave the error set with nothing on screen.
    box->setEscapeButton(ok);
    QPushButton* settings = nullptr;
    if (offersSettings(error)) {
        settings = box->addButton(openSettingsTitle, QMessageBox::ActionRole);
        settings->setAccessibleName(openSettingsTitle);
    }
    QMessageBox* dialog = box.data();
    connect(dialog, &QDialog::finished, this, [this, dialog, settings, error] {
        if (box != dialog)
            return; // closed by refresh(), not by the user
        box.clear();
        shown.reset();
        if (settings && dialog->clickedButton() == settings)
            chooseOpenSettings(error);
        else
            chooseOk();
    });
    box->open();
}

void ErrorAlertModifier::close()
{
    shown.reset();
    if (QMessageBox* open = box.data()) {
        box.clear();
        open->close();
    }
}

void ErrorAlertModifier::chooseOk()
{
    if (binding.set)
        binding.set(std::nullopt);
    if (onDismiss)
        onDismiss();
}

void ErrorAlertModifier::chooseOpenSettings(const TallowindError& presented)
{
    if (binding.set)
        binding.set(std::nullopt);
    if (workspace)
        workspace->openURL(settingsURLFor(presented));
}

ErrorAlertModifier* errorAlert(
    QWidget* content, ErrorBinding error, std::function<void()> onDismiss, std::shared_ptr<Workspace> workspace)
{
    return new ErrorAlertModifier(content, std::move(error), std::move(onDismiss), std::move(workspace));
}
