#include "base/FileAside.h"

#include <QFile>
#include <QFileInfo>

QString moveFileAside(const QString& path, const QDateTime& now, QString& error)
{
    const QString base = path + QStringLiteral(".unreadable-") + now.toString(QStringLiteral("yyyyMMdd-HHmmss-zzz"));
    QString target = base;
    for (int n = 2; QFileInfo::exists(target) || QFileInfo(target).isSymLink(); ++n)
        target = base + QLatin1Char('-') + QString::number(n);
    QFile file(path);
    if (!file.rename(target)) {
        error = file.errorString();
        return {};
    }
    return target;
}
