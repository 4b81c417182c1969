#include "recording/RecordingsIndex.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

namespace RecordingsIndex {

Contents load(const QString& path)
{
    Contents contents;
    QFile file(path);
    if (!QFileInfo::exists(path) && !QFileInfo(path).isSymLink())
        return contents;
    if (!file.open(QIODevice::ReadOnly)) {
        contents.unreadable = true;
        contents.error = file.errorString();
        return contents;
    }
    const QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError) {
        contents.unreadable = true;
        contents.error = file.errorString();
        return contents;
    }
    RecordingsIndexCodec::Decoded decoded = RecordingsIndexCodec::decode(bytes);
    if (!decoded.entries) {
        contents.unreadable = true;
        contents.error = decoded.error;
        return contents;
    }
    contents.entries = std::move(*decoded.entries);
    return contents;
}

bool write(const QString& path, const QList<RecordingMetadata>& entries, QString& error)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        error = file.errorString();
        return false;
    }
    const QByteArray bytes = RecordingsIndexCodec::encode(entries);
    if (file.write(bytes) != bytes.size()) {
        error = file.errorString();
        file.cancelWriting();
        return false;
    }
    if (!file.commit()) {
        error = file.errorString();
        return false;
    }
    return true;
}

QString moveAside(const QString& path, const QDateTime& now, QString& error)
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

} // namespace RecordingsIndex
