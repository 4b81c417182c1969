#include "core/config/TallowindError.h"

#include <gtest/gtest.h>

namespace {

struct ExpectedTexts {
    TallowindError error;
    QString description;
    std::optional<QString> reason;
    std::optional<QString> suggestion;
};

const QString kRedownload = "Try downloading the model again from Settings > Models";
const QString kConnection = "Check your internet connection and try again";

} // namespace

TEST(TallowindErrorTexts, EveryKindHasItsTexts)
{
    const std::vector<ExpectedTexts> cases = {
        {TallowindError::modelNotFound("base"), "Model 'base' not found",
            "The selected model may have been deleted or moved", kRedownload},
        {TallowindError::modelDownloadFailed("x"), "Model download failed: x", {}, {}},
        {TallowindError::modelLoadFailed("x"), "Failed to load model: x", {}, kRedownload},
        {TallowindError::modelInitializationFailed("x"), "Model initialization failed: x", {}, {}},
        {TallowindError::recordingFailed("x"), "Recording failed: x", {}, {}},
        {TallowindError::audioEngineSetupFailed("x"), "Audio engine setup failed: x", {}, {}},
        {TallowindError::transcriptionFailed("x"), "Transcription failed: x", {}, {}},
        {TallowindError::permissionDenied("Camera"), "Camera permission denied", {}, {}},
        {TallowindError::fileOperationFailed("create temporary", "/tmp/a"),
            "Failed to create temporary file at: /tmp/a", {}, {}},
        {TallowindError::networkError("x"), "Network error: x", kConnection, kConnection},
        {TallowindError::focusDetectionFailed("x"), "Focus detection failed: x", {}, {}},
        {TallowindError::genericError("Something odd"), "Something odd", {}, {}},
        {TallowindError::invalidModelURL(), "Invalid model URL", {}, {}},
        {TallowindError::microphoneAccessDenied(), "Microphone access denied",
            "The app needs microphone access to transcribe audio",
            "Go to System Settings > Privacy & Security > Microphone and enable Tallowind"},
        {TallowindError::noAudioInput(), "No audio input available", {},
            "Check that your microphone is connected and selected in System Settings"},
        {TallowindError::transcriptionNotSupported(), "Transcription not supported on this device", {}, {}},
        {TallowindError::emptyTranscriptionResult(), "No text was transcribed", {}, {}},
        {TallowindError::accessibilityNotEnabled(), "Accessibility features must be enabled",
            "Enable accessibility in System Settings > Privacy & Security > Accessibility",
            "Enable Tallowind in System Settings > Privacy & Security > Accessibility"},
    };
    ASSERT_EQ(cases.size(), 18u);
    for (const ExpectedTexts& expected : cases) {
        const TallowindError& error = expected.error;
        SCOPED_TRACE(expected.description.toStdString());
        EXPECT_EQ(error.errorDescription(), expected.description);
        EXPECT_EQ(error.localizedDescription(), expected.description);
        EXPECT_STREQ(error.what(), expected.description.toUtf8().constData());
        EXPECT_EQ(error.failureReason(), expected.reason);
        EXPECT_EQ(error.recoverySuggestion(), expected.suggestion);
        EXPECT_EQ(error.shouldShowAlert(), error.kind() != TallowindError::Kind::emptyTranscriptionResult);
    }
}

TEST(TallowindErrorTexts, UserMessageJoinsDescriptionAndSuggestionOnly)
{
    EXPECT_EQ(TallowindError::microphoneAccessDenied().userMessage(),
        "Microphone access denied\n\nGo to System Settings > Privacy & Security > Microphone and enable "
        "Tallowind");
    EXPECT_EQ(
        TallowindError::recordingFailed("No active recording").userMessage(), "Recording failed: No active recording");
    // The failure reason never appears in the message.
    EXPECT_EQ(TallowindError::networkError("offline").userMessage(),
        "Network error: offline\n\nCheck your internet connection and try again");
}

TEST(TallowindErrorTexts, PayloadsAreInsertedVerbatim)
{
    EXPECT_EQ(TallowindError::modelNotFound("No active model selected").errorDescription(),
        "Model 'No active model selected' not found");
    EXPECT_EQ(TallowindError::permissionDenied("").errorDescription(), " permission denied");

    const TallowindError emptyGeneric = TallowindError::genericError("");
    EXPECT_TRUE(emptyGeneric.errorDescription().isEmpty());
    EXPECT_TRUE(emptyGeneric.userMessage().isEmpty());
}

TEST(TallowindErrorTexts, CanBeThrownAndCompared)
{
    try {
        throw TallowindError::fileOperationFailed("create temporary", "/x");
    } catch (const std::exception& caught) {
        EXPECT_STREQ(caught.what(), "Failed to create temporary file at: /x");
    }
    EXPECT_EQ(TallowindError::modelLoadFailed("a"), TallowindError::modelLoadFailed("a"));
    EXPECT_FALSE(TallowindError::modelLoadFailed("a") == TallowindError::modelDownloadFailed("a"));
    EXPECT_FALSE(TallowindError::fileOperationFailed("a", "b") == TallowindError::fileOperationFailed("a", "c"));
}
