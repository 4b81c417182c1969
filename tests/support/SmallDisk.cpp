#include "support/SmallDisk.h"

#include "support/ToolRun.h"

#include <QDir>
#include <QFile>

SmallDisk::SmallDisk(const QString& folder, qint64 bytes)
    : mountPoint(folder), filler(folder + QStringLiteral("/.filler"))
{
    QDir().mkpath(folder);
    isMounted = runTool(QStringLiteral("mount"),
        {QStringLiteral("-t"), QStringLiteral("tmpfs"), QStringLiteral("-o"), QStringLiteral("size=%1").arg(bytes),
            QStringLiteral("tmpfs"), folder});
}

SmallDisk::~SmallDisk()
{
    if (isMounted)
        runTool(QStringLiteral("umount"), {QStringLiteral("-l"), mountPoint});
}

void SmallDisk::fill()
{
    QFile file(filler);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Append | QIODevice::Unbuffered))
        return;
    const QByteArray page(4096, 'x');
    while (file.write(page) == page.size()) { }
    // The last page may have taken less than a page.
    while (file.write(page.constData(), 1) == 1) { }
}

void SmallDisk::freeSpace()
{
    QFile::remove(filler);
}
