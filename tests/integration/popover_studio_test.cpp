// A studio recording through the whole tool on a private desktop: the
// popover's content in a window of its own, the real controller and capture,
// speech played into the virtual microphone. The transcript shows in the
// studio only; nothing is pasted into the application that has the focus.
#include "app/LinuxPlatformServices.h"
#include "controller/AppDelegate.h"
#include "core/config/AppConfig.h"
#include "core/speech/ModelManager.h"
#include "popover/PopoverView.h"
#include "popover/PopoverViewModel.h"
#include "popover/RecordButton.h"
#include "popover/StudioView.h"
#include "popover/SymbolButton.h"
#include "recording/RecordingManager.h"
#include "support/EventLoop.h"
#include "support/FakeAlertPresenter.h"
#include "support/FakeSpeechRecognizer.h"
#include "support/LogCapture.h"
#include "support/PasteTarget.h"
#include "support/Patience.h"
#include "support/SettingsReset.h"
#include "support/VirtualMicrophone.h"
#include "support/WhisperTestModel.h"

#include <QClipboard>
#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QPlainTextEdit>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <QVBoxLayout>

#include <gtest/gtest.h>

namespace {

class PopoverStudio : public DefaultsTest {
protected:
    void SetUp() override
    {
        DefaultsTest::SetUp();
        if (qEnvironmentVariableIsEmpty("DISPLAY") || qEnvironmentVariableIsEmpty("PULSE_SERVER"))
            GTEST_SKIP() << "needs the private test session";

        ASSERT_TRUE(WhisperTestModel::installActiveMicroModel());

        services = makeLinuxPlatformServices();
        services.alertPresenter = alerts;
        services.speechRecognizer = std::make_shared<FakeSpeechRecognizer>();
    }

    std::shared_ptr<FakeAlertPresenter> alerts = std::make_shared<FakeAlertPresenter>();
    PlatformServices services;
};

} // namespace

TEST_F(PopoverStudio, RecordStopShowsTheTranscriptExpandedAndCopiesItWithoutPasting)
{
    QTemporaryDir folder;
    const QString speech = folder.filePath("speech.wav");
    ASSERT_TRUE(VirtualMicrophone::writeSpeech(speech, "this stays in the studio", 1.0, 0.5));

    LogCapture log;
    AppDelegate controller(services);
    controller.applicationDidFinishLaunching();

    auto viewModel = std::make_shared<PopoverViewModel>(&controller);
    QWidget window;
    window.setWindowTitle(QStringLiteral("Studio host"));
    auto* layout = new QVBoxLayout(&window);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSizeConstraint(QLayout::SetFixedSize);
    auto* popover = new PopoverView(viewModel, &window);
    layout->addWidget(popover);
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    StudioView* studio = popover->studio();

    // Another application has the focus while the studio records: its field
    // must stay empty.
    PasteTarget target;
    ASSERT_TRUE(target.start(testToolPath("paste_target_qt")));
    ASSERT_TRUE(target.activate());
    pumpFor(300);

    QTest::mouseClick(studio->recordButton(), Qt::LeftButton);
    ASSERT_TRUE(pumpUntil([&] { return controller.isRecording(); }, 5000)) << "the studio did not start a recording";
    EXPECT_EQ(controller.recordingStateManager().currentState().mode, RecordingMode::studio);
    ASSERT_TRUE(VirtualMicrophone::play(speech));
    QTest::mouseClick(studio->recordButton(), Qt::LeftButton);
    EXPECT_FALSE(controller.isRecording());

    ASSERT_TRUE(pumpUntil([&] { return !studio->state().transcribedText().isEmpty(); }, Patience::transcription))
        << log.systemLines().join("\n").toStdString();
    const QString transcript = studio->state().transcribedText();
    EXPECT_EQ(studio->editor()->toPlainText(), transcript);
    EXPECT_TRUE(viewModel->isExpanded());
    EXPECT_TRUE(studio->editor()->isVisible());

    QGuiApplication::clipboard()->setText(QStringLiteral("the user's clipboard"));
    QTest::mouseClick(studio->copyButton(), Qt::LeftButton);
    EXPECT_EQ(QGuiApplication::clipboard()->text(), transcript);

    // Give a stray paste time to arrive before looking.
    pumpFor(1000);
    EXPECT_EQ(target.text(), QString());
    EXPECT_TRUE(alerts->shown.empty());

    controller.applicationWillTerminate();
}
