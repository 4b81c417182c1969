#pragma once

#include <QString>

#include <functional>
#include <optional>

// File choosers that never block the GUI thread: each opens a dialog,
// window-modal on the active window when there is one, and calls back with
// the chosen path, or with nothing when the user cancels.
namespace FileDialogs {

using Chosen = std::function<void(const std::optional<QString>& path)>;

void chooseSaveFile(const QString& suggestedName, const QString& nameFilter, Chosen chosen);
void chooseOpenFile(const QString& nameFilter, Chosen chosen);
void chooseFolder(const QString& message, const QString& prompt, Chosen chosen);

} // namespace FileDialogs
