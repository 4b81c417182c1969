#include "downloads/DownloadToFile.h"

#include "downloads/MebibyteMarks.h"
#include "downloads/PartFiles.h"

std::unique_ptr<ModelFileTransfer> downloadToFile(QNetworkAccessManager& network, const QUrl& url,
    const QString& destination, DownloadProgressCallback progress, std::function<void(DownloadResult)> completion,
    std::chrono::milliseconds stallTimeout)
{
    struct Shared {
        qint64 reported = 0;
        qint64 total = -1;
        ModelFileTransfer* transfer = nullptr;
    };
    auto shared = std::make_shared<Shared>();
    const QString partFile = PartFiles::newPartFilePath(destination);
    auto transfer = std::make_unique<ModelFileTransfer>(
        network, url, partFile,
        [progress, shared](qint64 written, qint64 total) {
            shared->total = total;
            MebibyteMarks::forEachPassed(shared->reported, written, [&](qint64 mark) {
                if (progress)
                    progress(mark, total);
            });
            shared->reported = written;
        },
        [progress, completion, shared, partFile](std::optional<TallowindError> error) {
            if (error) {
                completion(*error);
                return;
            }
            if (progress)
                progress(shared->reported, shared->total);
            completion(DownloadedFile{partFile, shared->transfer->statusCode()});
        },
        stallTimeout);
    shared->transfer = transfer.get();
    transfer->start();
    return transfer;
}
