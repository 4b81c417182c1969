#pragma once

#include "core/speech/ModelManager.h"
#include "core/speech/WhisperModel.h"
#include "downloads/ModelDownloadDelegate.h"
#include "support/EventLoop.h"
#include "support/LocalHttpServer.h"
#include "support/SettingsReset.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QThread>

#include <gtest/gtest.h>

#include <optional>
#include <variant>
#include <vector>

// The four delegate reports, in arrival order, each checked to arrive on
// the main thread.
struct DownloadStarted {
    WhisperModel model;
};
struct DownloadProgressed {
    double progress;
    qint64 bytesWritten;
    qint64 totalBytes;
    WhisperModel model;
};
struct DownloadCompleted {
    WhisperModel model;
};
struct DownloadFailed {
    TallowindError error;
    WhisperModel model;
};
using DownloadReport = std::variant<DownloadStarted, DownloadProgressed, DownloadCompleted, DownloadFailed>;

class RecordingDelegate : public ModelDownloadDelegate {
public:
    void downloadDidStart(WhisperModel model) override { add(DownloadStarted{model}); }
    void downloadDidUpdateProgress(double progress, qint64 bytesWritten, qint64 totalBytes, WhisperModel model) override
    {
        add(DownloadProgressed{progress, bytesWritten, totalBytes, model});
    }
    void downloadDidComplete(WhisperModel model) override { add(DownloadCompleted{model}); }
    void downloadDidFail(const TallowindError& error, WhisperModel model) override
    {
        add(DownloadFailed{error, model});
    }

    bool ended() const
    {
        return !reports.empty()
            && (std::holds_alternative<DownloadCompleted>(reports.back())
                || std::holds_alternative<DownloadFailed>(reports.back()));
    }
    int progressCount() const
    {
        int count = 0;
        for (const auto& report : reports)
            count += std::holds_alternative<DownloadProgressed>(report) ? 1 : 0;
        return count;
    }
    std::optional<TallowindError> failure() const
    {
        if (!reports.empty())
            if (const auto* failed = std::get_if<DownloadFailed>(&reports.back()))
                return failed->error;
        return std::nullopt;
    }

    std::vector<DownloadReport> reports;
    bool allOnMainThread = true;

private:
    void add(DownloadReport report)
    {
        allOnMainThread = allOnMainThread && QThread::currentThread() == QCoreApplication::instance()->thread();
        reports.push_back(std::move(report));
    }
};

// A local server standing in for the model host, and an empty models folder.
class DownloadTest : public DefaultsTest {
protected:
    void SetUp() override
    {
        DefaultsTest::SetUp();
        qputenv("TALLOWIND_MODEL_BASE_URL", server.baseUrl().toUtf8());
        QDir(modelsFolder()).removeRecursively();
        QDir().mkpath(modelsFolder());
    }
    void TearDown() override
    {
        qunsetenv("TALLOWIND_MODEL_BASE_URL");
        QDir(modelsFolder()).removeRecursively();
        DefaultsTest::TearDown();
    }

    static QString modelsFolder() { return ModelManager::shared().modelsDirectory(); }
    static QString pathOf(WhisperModel which) { return ModelManager::shared().modelPath(which); }
    static QString routeOf(WhisperModel which)
    {
        return QStringLiteral("/orvandel/whisper.cpp/resolve/main/") + which.fileName();
    }
    void serve(WhisperModel which, const HttpRoute& route) { server.setRoute(routeOf(which), route); }
    static HttpRoute generated(qint64 size, qint64 chunkSize = 64 * 1024)
    {
        HttpRoute route;
        route.generatedSize = size;
        route.chunkSize = chunkSize;
        return route;
    }
    static QByteArray contents(const QString& path)
    {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }
    static void writeFile(const QString& path, const QByteArray& bytes)
    {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        ASSERT_EQ(file.write(bytes), bytes.size());
    }
    // Every file in the models folder, so stray part-files show.
    static QStringList modelsFolderEntries()
    {
        return QDir(modelsFolder()).entryList(QDir::Files | QDir::Hidden, QDir::Name);
    }

    const WhisperModel model = WhisperModel::largeV3TurboQ5;
    LocalHttpServer server;
};
