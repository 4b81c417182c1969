#include "core/speech/WhisperWrapper.h"
#include "downloads/ModelDownloader.h"

#include "downloads/DownloadFixture.h"
#include "support/TestSpeech.h"
#include "support/WhisperTestModel.h"

#include <QTemporaryDir>

TEST_F(DownloadTest, DownloadedModelLoadsAndTranscribes)
{
    QTemporaryDir source;
    const QString written = WhisperTestModel::writeMicro(source.path(), WhisperTestModel::WeightType::Q5_0);
    ASSERT_FALSE(written.isEmpty());
    HttpRoute route;
    route.body = contents(written);
    route.chunkSize = 16 * 1024;
    serve(model, route);

    RecordingDelegate delegate;
    auto downloader = ModelDownloader::create();
    downloader->setDelegate(&delegate);
    downloader->downloadModel(model);
    ASSERT_TRUE(pumpUntil([&] { return delegate.ended(); }));
    ASSERT_TRUE(std::holds_alternative<DownloadCompleted>(delegate.reports.back()));

    const auto bridge = WhisperWrapper::create(pathOf(model), 2);
    ASSERT_NE(bridge, nullptr);
    const auto text = bridge->transcribe(TestSpeech::synthetic(2.0));
    EXPECT_TRUE(text.has_value());
}
