#pragma once

#include "core/config/TallowindError.h"
#include "core/speech/WhisperModel.h"

#include <QByteArray>
#include <QString>
#include <QUrl>

// Why a model download failed, worded so that the user can act on it. The
// texts follow "Model download failed: " or "Network error: ".
namespace ModelDownloadFailures {

// The server answered 404 or 410 for the address; names the server and
// the file.
TallowindError noFileAt(const QUrl& address);
// Any other status outside 2xx; `phrase` is the server's own.
TallowindError unexpectedStatus(int status, const QString& phrase);
// The connection ended before the announced length arrived.
TallowindError endedEarly(qint64 received, qint64 announced);
// More arrived than the server announced.
TallowindError longerThanAnnounced(qint64 received, qint64 announced);
// Writing the part-file failed. A full disk is named with the models folder
// and the room the model needs (`announced`, or -1 when unknown); any
// other failure names the file.
TallowindError writeFailed(const QString& partFile, qint64 written, qint64 announced);
// The body does not start like a model file; `start` is its first bytes.
TallowindError notAModelFile(const QByteArray& start, const QString& contentType);

// One system-log line: the model, the address and the reason.
void log(WhisperModel model, const QUrl& address, const TallowindError& error);

} // namespace ModelDownloadFailures
