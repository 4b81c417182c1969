#include "core/speech/WhisperModel.h"

#include <gtest/gtest.h>

#include <QSet>

TEST(WhisperModelCatalogue, IdentifiersRoundTripExactly)
{
    for (WhisperModel model : WhisperModel::allCases())
        EXPECT_EQ(WhisperModel::fromRawValue(model.rawValue()), model) << model.rawValue().toStdString();

    EXPECT_FALSE(WhisperModel::fromRawValue("base.en"));
    EXPECT_FALSE(WhisperModel::fromRawValue("Large-v3"));
    EXPECT_FALSE(WhisperModel::fromRawValue(" large-v3"));
    EXPECT_FALSE(WhisperModel::fromRawValue(""));
}

TEST(WhisperModelCatalogue, FileNamesAndAddressesDeriveFromTheIdentifier)
{
    EXPECT_EQ(WhisperModel(WhisperModel::largeV3TurboQ5).fileName(), "ggml-large-v3-turbo-q5_0.bin");
    EXPECT_EQ(WhisperModel(WhisperModel::largeV3).fileName(), "ggml-large-v3.bin");
    EXPECT_EQ(WhisperModel(WhisperModel::largeV3Turbo).fileName(), "ggml-large-v3-turbo.bin");

    QSet<QString> fileNames;
    for (WhisperModel model : WhisperModel::allCases()) {
        fileNames.insert(model.fileName());
        EXPECT_FALSE(model.fileName().contains(".en.bin"));
        EXPECT_TRUE(model.downloadURL().startsWith("https://"));
        EXPECT_TRUE(model.downloadURL().endsWith("/orvandel/whisper.cpp/resolve/main/" + model.fileName()));
        EXPECT_EQ(model.estimatedSizeString(), model.estimatedSize());
        EXPECT_FALSE(model.isEnglishOnly());
    }
    EXPECT_EQ(fileNames.size(), 4);
}

TEST(WhisperModelCatalogue, TextsAndOrders)
{
    const WhisperModel q8 = WhisperModel::largeV3TurboQ8;
    EXPECT_EQ(q8.displayName(), "Large v3 Turbo Q8");
    EXPECT_EQ(q8.estimatedSize(), "838 MB");
    EXPECT_EQ(q8.description(),
        "Higher quality quantization for better accuracy. Good balance between size and performance.");
    EXPECT_EQ(WhisperModel(WhisperModel::largeV3).estimatedSize(), "3.1 GB");

    const QList<WhisperModel> declared{
        WhisperModel::largeV3TurboQ5, WhisperModel::largeV3TurboQ8, WhisperModel::largeV3Turbo, WhisperModel::largeV3};
    EXPECT_EQ(WhisperModel::allCases(), declared);
    EXPECT_EQ(WhisperModel::allCasesRecommendedOrder(), declared);
    EXPECT_EQ(WhisperModel::allCasesSortedBySize(), declared);
}
