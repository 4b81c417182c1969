#include "settings/models/FileDialogs.h"

#include <QApplication>
#include <QFileDialog>
#include <QStandardPaths>

namespace {

QFileDialog* makeDialog()
{
    QWidget* parent = QApplication::activeWindow();
    auto* dialog = new QFileDialog(parent);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->setWindowModality(parent ? Qt::WindowModal : Qt::ApplicationModal);
    dialog->setDirectory(QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation));
    return dialog;
}

void run(QFileDialog* dialog, FileDialogs::Chosen chosen)
{
    // Exactly one answer per dialog, whichever way it closes.
    auto answered = std::make_shared<bool>(false);
    QObject::connect(dialog, &QFileDialog::fileSelected, dialog, [chosen, answered](const QString& path) {
        if (*answered || path.isEmpty())
            return;
        *answered = true;
        chosen(path);
    });
    QObject::connect(dialog, &QDialog::finished, dialog, [chosen, answered] {
        if (*answered)
            return;
        *answered = true;
        chosen(std::nullopt);
    });
    dialog->open();
}

} // namespace

namespace FileDialogs {

void chooseSaveFile(const QString& suggestedName, const QString& nameFilter, Chosen chosen)
{
    QFileDialog* dialog = makeDialog();
    dialog->setAcceptMode(QFileDialog::AcceptSave);
    dialog->setFileMode(QFileDialog::AnyFile);
    dialog->setNameFilter(nameFilter);
    dialog->selectFile(suggestedName);
    run(dialog, std::move(chosen));
}

void chooseOpenFile(const QString& nameFilter, Chosen chosen)
{
    QFileDialog* dialog = makeDialog();
    dialog->setAcceptMode(QFileDialog::AcceptOpen);
    dialog->setFileMode(QFileDialog::ExistingFile);
    dialog->setNameFilter(nameFilter);
    run(dialog, std::move(chosen));
}

void chooseFolder(const QString& message, const QString& prompt, Chosen chosen)
{
    QFileDialog* dialog = makeDialog();
    dialog->setAcceptMode(QFileDialog::AcceptOpen);
    dialog->setFileMode(QFileDialog::Directory);
    dialog->setOption(QFileDialog::ShowDirsOnly);
    dialog->setWindowTitle(message);
    dialog->setLabelText(QFileDialog::Accept, prompt);
    run(dialog, std::move(chosen));
}

} // namespace FileDialogs
