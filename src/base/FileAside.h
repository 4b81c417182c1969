#pragma once

#include <QDateTime>
#include <QString>

// Renames an unreadable file to "<name>.unreadable-<time>" (with a counter
// when that is taken), so the user's data is kept for a look while a fresh
// file takes its place. Returns the new path, or an empty string with
// `error` set.
QString moveFileAside(const QString& path, const QDateTime& now, QString& error);
