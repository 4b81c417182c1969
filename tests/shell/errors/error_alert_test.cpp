#include "shell/errors/ErrorAlert.h"
#include "shell/errors/ErrorPresentationCoordinator.h"

#include "shell/ShellShots.h"
#include "support/EventLoop.h"
#include "support/FakeWorkspace.h"

#include <QMessageBox>
#include <QPushButton>
#include <QWidget>

#include <gtest/gtest.h>

namespace {

class ErrorAlertTest : public ::testing::Test {
protected:
    ErrorAlertTest()
    {
        host.resize(400, 300);
        host.show();
        modifier = errorAlert(
            &host, ErrorBinding::to(coordinator), [this] { ++dismissals; }, workspace);
    }

    QStringList buttonTitles() const
    {
        QStringList titles;
        if (QMessageBox* box = modifier->alert())
            for (QAbstractButton* button : box->buttons())
                titles << button->text();
        titles.sort();
        return titles;
    }
    void click(const QString& title)
    {
        QMessageBox* box = modifier->alert();
        ASSERT_NE(box, nullptr);
        for (QAbstractButton* button : box->buttons())
            if (button->text() == title) {
                button->click();
                return;
            }
        FAIL() << "no button " << title.toStdString();
    }

    QWidget host;
    ErrorPresentationCoordinator coordinator;
    std::shared_ptr<FakeWorkspace> workspace = std::make_shared<FakeWorkspace>();
    ErrorAlertModifier* modifier = nullptr;
    int dismissals = 0;
};

} // namespace

TEST_F(ErrorAlertTest, OkClearsTheErrorReportsOnceAndBringsUpTheNextWaitingOne)
{
    EXPECT_EQ(modifier->alert(), nullptr);
    coordinator.present(TallowindError::recordingFailed("first"));
    coordinator.present(TallowindError::transcriptionFailed("second"));
    ASSERT_NE(modifier->alert(), nullptr);
    EXPECT_EQ(modifier->alert()->text(), "Recording failed: first");
    // No recovery suggestion: "OK" only.
    EXPECT_EQ(buttonTitles(), QStringList{"OK"});
    EXPECT_EQ(modifier->alert()->windowModality(), Qt::WindowModal);

    click("OK");
    EXPECT_EQ(dismissals, 1);
    ASSERT_NE(modifier->alert(), nullptr);
    EXPECT_EQ(modifier->alert()->text(), "Transcription failed: second");
    click("OK");
    EXPECT_FALSE(coordinator.currentError().has_value());
    EXPECT_EQ(dismissals, 2);
    EXPECT_TRUE(workspace->opened.isEmpty());
    pumpUntil([&] { return modifier->alert() == nullptr; });
    EXPECT_EQ(modifier->alert(), nullptr);
}

TEST_F(ErrorAlertTest, OpenSettingsClearsTheErrorOpensTheMatchingPageAndSkipsOnDismiss)
{
    coordinator.present(TallowindError::microphoneAccessDenied());
    EXPECT_EQ(buttonTitles(), (QStringList{"OK", "Open Settings"}));
    // Description, a blank line, then the suggestion.
    const TallowindError denied = TallowindError::microphoneAccessDenied();
    EXPECT_EQ(modifier->alert()->text(), denied.errorDescription() + "\n\n" + *denied.recoverySuggestion());
    click("Open Settings");
    EXPECT_FALSE(coordinator.currentError().has_value());
    EXPECT_EQ(dismissals, 0);
    EXPECT_EQ(workspace->opened, QList<QUrl>{Workspace::microphoneSettingsURL()});

    EXPECT_EQ(ErrorAlertModifier::settingsURLFor(TallowindError::noAudioInput()), Workspace::microphoneSettingsURL());
    EXPECT_EQ(
        ErrorAlertModifier::settingsURLFor(TallowindError::accessibilityNotEnabled()), Workspace::systemSettingsURL());
    coordinator.present(TallowindError::networkError("offline"));
    click("Open Settings");
    EXPECT_EQ(workspace->opened.last(), Workspace::systemSettingsURL());
}

TEST_F(ErrorAlertTest, OpenSettingsIsHiddenWhereNoSettingsProgramIsInstalled)
{
    workspace->unavailable = {Workspace::microphoneSettingsURL()};
    coordinator.present(TallowindError::microphoneAccessDenied());
    EXPECT_EQ(buttonTitles(), QStringList{"OK"});
    click("OK");
    // The general settings program is still there for other errors.
    coordinator.present(TallowindError::modelNotFound("Large v3"));
    EXPECT_EQ(buttonTitles(), (QStringList{"OK", "Open Settings"}));
}

TEST_F(ErrorAlertTest, EscapeCountsAsOkButClearingTheErrorElsewhereReportsNothing)
{
    coordinator.present(TallowindError::noAudioInput());
    ASSERT_NE(modifier->alert(), nullptr);
    modifier->alert()->reject();
    EXPECT_FALSE(coordinator.currentError().has_value());
    EXPECT_EQ(dismissals, 1);
    EXPECT_TRUE(workspace->opened.isEmpty());

    coordinator.present(TallowindError::recordingFailed("x"));
    ASSERT_NE(modifier->alert(), nullptr);
    coordinator.setCurrentError(std::nullopt);
    EXPECT_EQ(modifier->alert(), nullptr);
    EXPECT_EQ(dismissals, 1);
}

TEST_F(ErrorAlertTest, LooksRightInLightAndDark)
{
    for (const auto& [name, palette] :
        {std::pair{QString("light"), lightPalette()}, {QString("dark"), darkPalette()}}) {
        host.setPalette(palette);
        coordinator.present(TallowindError::microphoneAccessDenied());
        QMessageBox* box = modifier->alert();
        ASSERT_NE(box, nullptr);
        box->setPalette(palette);
        box->adjustSize();
        saveShot(*box, "error-alert-" + name);
        click("OK");
    }
}
