#pragma once

#include "core/config/TallowindError.h"

#include <QString>

#include <optional>

// A download is received into a part-file beside its destination
// ("<file name>.<unique>.part") and becomes the destination only through one
// rename, so an older file stays intact until the new one is complete.
namespace PartFiles {

QString newPartFilePath(const QString& destination);

// Renames the part-file over the destination in one step. On failure the
// part-file is removed and the destination is left as it was.
std::optional<TallowindError> replaceDestination(const QString& partFile, const QString& destination);

// Removes part-files left behind by a download that never ended (a crash,
// a kill); returns how many were removed.
int removeStrayPartFiles(const QString& folder);

} // namespace PartFiles
