#include "DownloadFixture.h"

#include "downloads/FirstLaunchView.h"
#include "downloads/FirstLaunchViewModel.h"
#include "shell/theme/GlassButton.h"
#include "shell/windows/FirstLaunchWindow.h"
#include "support/Patience.h"

#include <QApplication>
#include <QLabel>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QToolButton>

#include <functional>

namespace {

class FirstLaunchTest : public DownloadTest {
protected:
    // What the view shows below the description.
    QStringList visibleAreas(const FirstLaunchView& view) const
    {
        QStringList areas;
        if (view.downloadButton()->isVisibleTo(&view))
            areas << "download";
        if (view.progressBar()->isVisibleTo(&view))
            areas << "progress";
        if (view.completeArea()->isVisibleTo(&view))
            areas << "done";
        if (view.retryButton()->isVisibleTo(&view))
            areas << "failed";
        return areas;
    }

    int completions = 0;
};

} // namespace

TEST_F(FirstLaunchTest, FirstDisplayOffersOnlyTheDownloadOfTheDefaultModel)
{
    FirstLaunchView view([this] { ++completions; });
    const FirstLaunchViewModel& state = *view.viewModel();
    EXPECT_EQ(state.defaultModel(), model);
    EXPECT_TRUE(state.downloadButtonTitle().contains(model.displayName()));
    EXPECT_EQ(view.downloadButton()->text(), state.downloadButtonTitle());
    EXPECT_EQ(visibleAreas(view), QStringList{"download"});
}

TEST_F(FirstLaunchTest, ADownloadShowsItsProgressThenEachContinueArms)
{
    const qint64 size = 3 * 1024 * 1024 + 12345;
    serve(model, generated(size));
    FirstLaunchView view([this] { ++completions; });
    FirstLaunchViewModel& state = *view.viewModel();
    QSignalSpy texts(&state, &FirstLaunchViewModel::statusTextChanged);

    view.downloadButton()->click();
    EXPECT_TRUE(state.isDownloading());
    EXPECT_EQ(state.statusText(), "Connecting...");
    EXPECT_EQ(visibleAreas(view), QStringList{"progress"});
    EXPECT_EQ(view.progressBar()->value(), 0);

    ASSERT_TRUE(pumpUntil([&] { return state.downloadComplete() || state.downloadFailed(); }, Patience::transfer));
    ASSERT_TRUE(state.downloadComplete()) << state.statusText().toStdString();
    EXPECT_FALSE(state.isDownloading());
    EXPECT_TRUE(state.statusText().isEmpty());
    EXPECT_EQ(visibleAreas(view), QStringList{"done"});
    EXPECT_EQ(contents(pathOf(model)), generatedBody(size));

    // The texts in order: connecting, started, progress lines in mebibytes.
    QStringList seen;
    for (const QList<QVariant>& change : texts)
        seen << change[0].toString();
    ASSERT_GE(seen.size(), 4);
    EXPECT_EQ(seen[0], "Connecting...");
    EXPECT_EQ(seen[1], "Downloading...");
    EXPECT_EQ(seen[seen.size() - 2], "Downloading... 3.0 MB / 3.0 MB");
    EXPECT_TRUE(seen[2].startsWith("Downloading... ") && seen[2].endsWith(" MB / 3.0 MB")) << seen[2].toStdString();
    EXPECT_EQ(seen.back(), "");

    view.continueButton()->click();
    EXPECT_EQ(completions, 1);
    EXPECT_TRUE(view.continueButton()->isEnabled()) << "the window stays usable after Continue";
    view.continueButton()->click();
    EXPECT_EQ(completions, 2);
}

TEST_F(FirstLaunchTest, AFailureShowsTheReasonAndARetryThatStartsAFreshAttempt)
{
    // Half the file, then the connection drops.
    HttpRoute broken = generated(2 * 1024 * 1024, 256 * 1024);
    broken.cutAfter = 1024 * 1024;
    serve(model, broken);
    FirstLaunchView view([this] { ++completions; });
    FirstLaunchViewModel& state = *view.viewModel();

    state.startDownload();
    ASSERT_TRUE(pumpUntil([&] { return state.downloadFailed(); }, Patience::transfer));
    EXPECT_FALSE(state.isDownloading());
    EXPECT_TRUE(state.statusText().startsWith("Download failed: ")) << state.statusText().toStdString();
    EXPECT_GT(state.statusText().size(), QStringLiteral("Download failed: ").size());
    EXPECT_EQ(visibleAreas(view), QStringList({"download", "failed"}));
    EXPECT_EQ(view.errorLine()->text(), state.statusText());
    EXPECT_FALSE(QFileInfo::exists(pathOf(model))) << "half a model is no model";
    const double reached = state.downloadProgress();
    EXPECT_GT(reached, 0.0);

    // The retry shows the last fraction until the new attempt reports.
    serve(model, generated(1024 * 1024));
    view.retryButton()->click();
    EXPECT_FALSE(state.downloadFailed());
    EXPECT_EQ(state.statusText(), "Connecting...");
    EXPECT_EQ(state.downloadProgress(), reached);
    EXPECT_EQ(visibleAreas(view), QStringList{"progress"});
    ASSERT_TRUE(pumpUntil([&] { return state.downloadComplete() || state.downloadFailed(); }, Patience::transfer));
    EXPECT_TRUE(state.downloadComplete()) << state.statusText().toStdString();
    EXPECT_EQ(completions, 0) << "only Continue arms the dictation";
}

TEST_F(FirstLaunchTest, AServerWithoutALengthGetsNoMadeUpTotal)
{
    HttpRoute unannounced = generated(2 * 1024 * 1024);
    unannounced.announceLength = false;
    serve(model, unannounced);
    FirstLaunchViewModel state([] {});
    QStringList seen;
    QObject::connect(&state, &FirstLaunchViewModel::statusTextChanged, [&](const QString& text) { seen << text; });
    state.startDownload();
    ASSERT_TRUE(pumpUntil([&] { return state.downloadComplete() || state.downloadFailed(); }, Patience::transfer));
    for (const QString& text : seen)
        EXPECT_FALSE(text.contains("-0.0") || text.contains(" / ")) << text.toStdString();
}

TEST_F(FirstLaunchTest, AClosedViewLetsItsDownloadFinish)
{
    serve(model, generated(1024 * 1024, 64 * 1024));
    auto view = std::make_unique<FirstLaunchView>([this] { ++completions; });
    view->viewModel()->startDownload();
    view.reset();
    EXPECT_TRUE(pumpUntil([&] { return QFileInfo::exists(pathOf(model)); }, Patience::transfer));
    EXPECT_EQ(completions, 0);
}

TEST_F(FirstLaunchTest, EveryControlHasANameAndTakesTheKeyboardFocus)
{
    FirstLaunchView view([] {});
    const QList<QWidget*> controls = {
        view.closeButton(), view.downloadButton(), view.continueButton(), view.retryButton()};
    for (QWidget* control : controls) {
        EXPECT_FALSE(control->accessibleName().isEmpty());
        EXPECT_TRUE(control->focusPolicy() & Qt::TabFocus) << control->accessibleName().toStdString();
    }
}

// A key press in the welcome window acts on what the window shows: it
// starts the download, then continues; it never lands on the close button
// by itself and ends the first launch unarmed.
TEST_F(FirstLaunchTest, EachKeyActsOnTheStateAndTabGoesRoundEveryControl)
{
    // As the user's keyboard would: to the focus widget of the active window.
    const auto press = [](Qt::Key key) { QTest::keyClick(static_cast<QWidget*>(nullptr), key); };
    serve(model, generated(64 * 1024));
    auto* view = new FirstLaunchView([this] { ++completions; });
    QPointer<FirstLaunchWindow> window = new FirstLaunchWindow(view, nullptr);
    window->present();
    ASSERT_TRUE(QTest::qWaitForWindowActive(window));
    ASSERT_EQ(QApplication::focusWidget(), view->downloadButton());

    press(Qt::Key_Space);
    EXPECT_TRUE(view->viewModel()->isDownloading());
    press(Qt::Key_Space);
    ASSERT_TRUE(window && window->isVisible()) << "a second Space closed the window";
    ASSERT_TRUE(pumpUntil([&] { return view->viewModel()->downloadComplete(); }, Patience::transfer));

    // "Continue" takes the focus as it appears.
    press(Qt::Key_Space);
    EXPECT_EQ(completions, 1);
    ASSERT_TRUE(window && window->isVisible());

    press(Qt::Key_Tab);
    EXPECT_EQ(QApplication::focusWidget(), view->closeButton());
    press(Qt::Key_Tab);
    EXPECT_EQ(QApplication::focusWidget(), view->continueButton());
    delete window.data();
}

// The window is 340 high: in every state each text gets the whole height
// it needs at its width, and the content stays inside the window.
TEST_F(FirstLaunchTest, EveryStateFitsTheWindowWithoutCuttingAText)
{
    const std::vector<std::pair<const char*, std::function<void(FirstLaunchViewModel&)>>> states = {
        {"ready", [](FirstLaunchViewModel&) {}},
        {"downloading",
            [](FirstLaunchViewModel& state) {
                state.setIsDownloading(true);
                state.setStatusText(QStringLiteral("Downloading... 229.9 MB / 547.4 MB"));
            }},
        {"done", [](FirstLaunchViewModel& state) { state.setDownloadComplete(true); }},
        {"failed",
            [](FirstLaunchViewModel& state) {
                state.setDownloadFailed(true);
                state.setStatusText(QStringLiteral("Download failed: Could not connect to the server."));
            }},
        // The longest reason a server gives: two lines at the window's width.
        {"failed at length",
            [](FirstLaunchViewModel& state) {
                state.setDownloadFailed(true);
                state.setStatusText(QStringLiteral("Download failed: Model download failed: The server at "
                                                   "models.tallowind.org has no file ggml-large-v3-turbo-q5_0.bin"));
            }},
    };
    for (const auto& [name, apply] : states) {
        // The window's fixed size, which the view's layout cannot widen.
        QWidget window;
        window.setFixedSize(600, 340);
        auto* view = new FirstLaunchView([] {}, &window);
        view->setGeometry(window.rect());
        apply(*view->viewModel());
        window.show();
        QApplication::processEvents();
        for (const QLabel* label : view->findChildren<QLabel*>()) {
            if (!label->isVisibleTo(view) || label->text().isEmpty())
                continue;
            const int needed = label->wordWrap() ? label->heightForWidth(label->width()) : label->sizeHint().height();
            EXPECT_GE(label->height(), needed) << name << ": " << label->text().toStdString();
            const QRect placed(label->mapTo(view, QPoint(0, 0)), label->size());
            EXPECT_TRUE(view->rect().contains(placed)) << name << ": " << label->text().toStdString();
        }
    }
}
