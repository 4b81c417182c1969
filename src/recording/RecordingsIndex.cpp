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
    return writeBytes(path, RecordingsIndexCodec::encode(entries), error);
}

bool writeBytes(const QString& path, const QByteArray& bytes, QString& error)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        error = file.errorString();
        return false;
    }
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

} // namespace RecordingsIndex
