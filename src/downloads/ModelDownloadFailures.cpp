#include "downloads/ModelDownloadFailures.h"

#include "base/Log.h"
#include "downloads/ModelDownloadProgress.h"

#include <QFileInfo>
#include <QStorageInfo>

namespace ModelDownloadFailures {

TallowindError noFileAt(const QUrl& address)
{
    // Server and file name, not the whole address: it must fit the status
    // line, and the log has the rest.
    const QString server =
        address.port() < 0 ? address.host() : QStringLiteral("%1:%2").arg(address.host()).arg(address.port());
    return TallowindError::modelDownloadFailed(
        QStringLiteral("The server at %1 has no file %2").arg(server, address.fileName()));
}

TallowindError unexpectedStatus(int status, const QString& phrase)
{
    // The phrase comes from the server: one short line at most.
    const QString shortPhrase = phrase.simplified().left(60);
    return TallowindError::networkError(shortPhrase.isEmpty()
            ? QStringLiteral("The server answered with HTTP status %1").arg(status)
            : QStringLiteral("The server answered with HTTP status %1 (%2)").arg(status).arg(shortPhrase));
}

TallowindError endedEarly(qint64 received, qint64 announced)
{
    const ModelDownloadProgress counts{received, announced};
    return TallowindError::networkError(QStringLiteral("The download ended early: %1 of %2 arrived")
                                            .arg(counts.formattedBytesWritten(), counts.formattedTotalBytes()));
}

TallowindError longerThanAnnounced(qint64 received, qint64 announced)
{
    const ModelDownloadProgress counts{received, announced};
    return TallowindError::networkError(QStringLiteral("The server sent %1 where it announced %2")
                                            .arg(counts.formattedBytesWritten(), counts.formattedTotalBytes()));
}

TallowindError writeFailed(const QString& partFile, qint64 written, qint64 announced)
{
    // Qt's write error does not say why; the free space does. Asked before
    // the part-file goes, so what it holds does not count as free.
    const QString folder = QFileInfo(partFile).absolutePath();
    const QStorageInfo storage(folder);
    const qint64 stillToCome = announced > written ? announced - written : 1;
    if (!storage.isValid() || storage.bytesAvailable() >= stillToCome)
        return TallowindError::fileOperationFailed(QStringLiteral("write"), partFile);
    if (announced < 0)
        return TallowindError::modelDownloadFailed(
            QStringLiteral("The disk is full: there is no room for the model in %1").arg(folder));
    const ModelDownloadProgress size{announced, announced};
    return TallowindError::modelDownloadFailed(
        QStringLiteral("The disk is full: the model needs %1 free in %2").arg(size.formattedTotalBytes(), folder));
}

TallowindError notAModelFile(const QByteArray& start, const QString& contentType)
{
    const bool webPage =
        contentType.contains(QLatin1String("html"), Qt::CaseInsensitive) || start.trimmed().startsWith('<');
    return TallowindError::modelDownloadFailed(webPage
            ? QStringLiteral("The server sent a web page instead of the model file")
            : QStringLiteral("The server sent something that is not a model file"));
}

void log(WhisperModel model, const QUrl& address, const TallowindError& error)
{
    Log::system(
        QStringLiteral("[Download] Model %1 from %2 failed: %3")
            .arg(model.rawValue(), address.isEmpty() ? QStringLiteral("(no address)") : address.toDisplayString(),
                error.localizedDescription()));
}

} // namespace ModelDownloadFailures
