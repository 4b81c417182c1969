#include "downloads/PartFiles.h"

#include <QDir>
#include <QFile>
#include <QUuid>

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace PartFiles {

QString newPartFilePath(const QString& destination)
{
    return destination + QLatin1Char('.') + QUuid::createUuid().toString(QUuid::WithoutBraces)
        + QStringLiteral(".part");
}

std::optional<TallowindError> replaceDestination(const QString& partFile, const QString& destination)
{
    // rename(2) replaces an existing destination atomically; QFile::rename
    // would refuse or remove the old file first.
    if (std::rename(QFile::encodeName(partFile).constData(), QFile::encodeName(destination).constData()) == 0)
        return std::nullopt;
    const QString reason = QString::fromLocal8Bit(std::strerror(errno));
    QFile::remove(partFile);
    return TallowindError::fileOperationFailed(QStringLiteral("move downloaded file (%1)").arg(reason), destination);
}

int removeStrayPartFiles(const QString& folder)
{
    int removed = 0;
    const QDir dir(folder);
    const QStringList names = dir.entryList({QStringLiteral("ggml-*.bin.*.part")}, QDir::Files | QDir::Hidden);
    for (const QString& name : names) {
        if (QFile::remove(dir.filePath(name)))
            ++removed;
    }
    return removed;
}

} // namespace PartFiles
