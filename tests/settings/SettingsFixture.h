#pragma once

#include "downloads/DownloadFixture.h"
#include "settings/SettingsViewModel.h"
#include "shell/theme/Motion.h"

#include <QDir>

#include <memory>
#include <ostream>

// A settings view model over an empty models folder, an empty settings
// store and a local server standing in for the model host.
class SettingsTest : public DownloadTest {
protected:
    void SetUp() override
    {
        DownloadTest::SetUp();
        Motion::setDurationScale(0.0);
        viewModel = std::make_unique<SettingsViewModel>();
    }
    void TearDown() override
    {
        viewModel.reset();
        Motion::setDurationScale(1.0);
        // Downloads left running by a test end with it.
        pumpFor(20);
        DownloadTest::TearDown();
    }

    void putModelFile(WhisperModel which) { writeFile(pathOf(which), "a model file"); }
    // A route that sends part of a model and then holds the connection, so
    // a download stays under way until it is stopped.
    void serveStalled(WhisperModel which, qint64 sendFirst = 256 * 1024)
    {
        HttpRoute route = generated(4 * 1024 * 1024);
        route.stallAfter = sendFirst;
        serve(which, route);
    }
    SettingsViewModel::DownloadStatus status(WhisperModel which) const { return viewModel->downloadStatus(which); }
    bool hasStatus(WhisperModel which) const { return viewModel->downloadStatuses().contains(which); }

    std::unique_ptr<SettingsViewModel> viewModel;
};

inline std::ostream& operator<<(std::ostream& out, const DownloadStatus& status)
{
    switch (status.kind()) {
    case DownloadStatus::Kind::downloading:
        return out << "downloading(" << status.progress() << ")";
    case DownloadStatus::Kind::error:
        return out << "error(" << status.message().toStdString() << ")";
    case DownloadStatus::Kind::notDownloaded:
        return out << "notDownloaded";
    case DownloadStatus::Kind::downloaded:
        return out << "downloaded";
    }
    return out;
}
