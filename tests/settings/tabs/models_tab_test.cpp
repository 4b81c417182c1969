#include "settings/SettingsFixture.h"

#include "settings/tabs/LineLimitedLabel.h"
#include "settings/tabs/SettingsModelCard.h"
#include "settings/tabs/SettingsModelsTabView.h"

#include <QEnterEvent>
#include <QLabel>
#include <QLayout>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>
#include <QToolButton>

namespace {

using Status = SettingsViewModel::DownloadStatus;

// Which of the three action controls a card shows.
struct ActionArea {
    bool progress;
    bool stop;
    bool remove;
    bool download;
    friend bool operator==(const ActionArea&, const ActionArea&) = default;
};

ActionArea actionsOf(const SettingsModelCard& card)
{
    return {card.progressBar()->isVisibleTo(&card), card.stopButton()->isVisibleTo(&card),
        card.deleteButton()->isVisibleTo(&card), card.downloadButton()->isVisibleTo(&card)};
}

void clickPlate(SettingsModelCard& card)
{
    QTest::mouseClick(&card, Qt::LeftButton, {}, card.plateRect().topLeft() + QPoint(8, 8));
}

// A card on its own, counting the actions it hands out.
class CardTest : public ::testing::Test {
protected:
    void SetUp() override { Motion::setDurationScale(0.0); }
    void TearDown() override { Motion::setDurationScale(1.0); }

    std::unique_ptr<SettingsModelCard> makeCard(
        const Status& status, bool selected = false, WhisperModel model = WhisperModel::largeV3)
    {
        SettingsModelCard::Actions actions{
            [this] { ++selects; }, [this] { ++downloads; }, [this] { ++cancels; }, [this] { ++deletes; }};
        auto card = std::make_unique<SettingsModelCard>(model, selected, status, actions);
        card->resize(640, card->sizeHint().height());
        card->show();
        return card;
    }
    int selects = 0;
    int downloads = 0;
    int cancels = 0;
    int deletes = 0;
};

} // namespace

TEST_F(CardTest, EachStatusOffersItsOwnControlsAndTheyHandTheirActionsOn)
{
    auto card = makeCard(Status::notDownloaded());
    EXPECT_EQ(actionsOf(*card), (ActionArea{false, false, false, true}));
    QTest::mouseClick(card->downloadButton(), Qt::LeftButton);
    EXPECT_EQ(downloads, 1);

    card->setDownloadStatus(Status::downloading(0.0f));
    EXPECT_EQ(actionsOf(*card), (ActionArea{true, true, false, false}));
    EXPECT_EQ(card->progressBar()->value(), 0);
    card->setDownloadStatus(Status::downloading(1.0f));
    EXPECT_EQ(card->progressBar()->value(), card->progressBar()->maximum());
    QTest::mouseClick(card->stopButton(), Qt::LeftButton);
    EXPECT_EQ(cancels, 1);

    card->setDownloadStatus(Status::downloaded());
    EXPECT_EQ(actionsOf(*card), (ActionArea{false, false, true, false}));

    // A failure says why and offers the download again.
    card->setDownloadStatus(Status::error("Failed to delete: Model 'Large v3' not found"));
    EXPECT_EQ(actionsOf(*card), (ActionArea{false, false, false, true}));
    EXPECT_TRUE(card->errorCaption()->isVisibleTo(card.get()));
    EXPECT_EQ(card->errorCaption()->text(), QStringLiteral("Failed to delete: Model 'Large v3' not found"));
    card->setDownloadStatus(Status::notDownloaded());
    EXPECT_FALSE(card->errorCaption()->isVisibleTo(card.get()));
}

// Beside the progress bar, at a card's width in the Settings window at its
// default size, the description has less room than it needs: it keeps to
// two whole lines rather than being cut at the top and bottom.
TEST_F(CardTest, TheDescriptionShowsTwoWholeLinesBesideTheProgressBar)
{
    auto card = makeCard(Status::downloading(0.3f), false, WhisperModel::largeV3TurboQ5);
    card->resize(640, card->heightForWidth(640));
    card->layout()->activate();
    const LineLimitedLabel* text = card->descriptionText();
    const QStringList lines = text->shownLines();
    ASSERT_EQ(lines.size(), 2);
    EXPECT_GE(text->height(), 2 * text->fontMetrics().lineSpacing());
    EXPECT_TRUE(lines.last().endsWith(QChar(0x2026))) << "what does not fit is elided";
}

TEST_F(CardTest, OnlyADownloadedCardCanBeChosen)
{
    for (const Status& status : {Status::notDownloaded(), Status::downloading(0.5f), Status::error("x")}) {
        auto card = makeCard(status, true);
        clickPlate(*card);
        QTest::keyClick(card.get(), Qt::Key_Space);
        QEnterEvent enter(QPointF(10, 10), QPointF(10, 10), QPointF(10, 10));
        QCoreApplication::sendEvent(card.get(), &enter);
        EXPECT_FALSE(card->isHovered());
        EXPECT_EQ(card->focusPolicy(), Qt::NoFocus);
    }
    EXPECT_EQ(selects, 0);

    // Already selected: chosen again all the same.
    auto card = makeCard(Status::downloaded(), true);
    clickPlate(*card);
    EXPECT_EQ(selects, 1);
    card->setFocus();
    QTest::keyClick(card.get(), Qt::Key_Space);
    EXPECT_EQ(selects, 2);
    QEnterEvent enter(QPointF(10, 10), QPointF(10, 10), QPointF(10, 10));
    QCoreApplication::sendEvent(card.get(), &enter);
    EXPECT_TRUE(card->isHovered());

    // The pointer leaves while the model is being deleted and downloaded again.
    card->setDownloadStatus(Status::notDownloaded());
    QEvent leave(QEvent::Leave);
    QCoreApplication::sendEvent(card.get(), &leave);
    card->setDownloadStatus(Status::downloaded());
    EXPECT_FALSE(card->isHovered());
}

TEST_F(CardTest, DeletingAsksFirstAndCancelChangesNothing)
{
    auto card = makeCard(Status::downloaded());
    QTest::mouseClick(card->deleteButton(), Qt::LeftButton);
    QMessageBox* alert = card->deleteConfirmation();
    ASSERT_NE(alert, nullptr);
    EXPECT_TRUE(alert->informativeText().contains(QStringLiteral("Large v3")));

    QTest::keyClick(alert, Qt::Key_Escape);
    ASSERT_TRUE(pumpUntil([&] { return card->deleteConfirmation() == nullptr; }));
    EXPECT_EQ(deletes, 0);

    QTest::mouseClick(card->deleteButton(), Qt::LeftButton);
    alert = card->deleteConfirmation();
    ASSERT_NE(alert, nullptr);
    for (QAbstractButton* button : alert->buttons())
        if (button->text() == QStringLiteral("Delete"))
            button->click();
    ASSERT_TRUE(pumpUntil([&] { return card->deleteConfirmation() == nullptr; }));
    EXPECT_EQ(deletes, 1);
}

TEST_F(SettingsTest, TheTabShowsOneCardPerModelFollowingTheViewModel)
{
    SettingsModelsTabView tab(viewModel.get());
    tab.resize(670, 540);
    tab.show();
    // An empty list: an empty page.
    EXPECT_TRUE(tab.cards().isEmpty());

    putModelFile(WhisperModel::largeV3Turbo);
    viewModel->loadInitialData();
    ASSERT_EQ(tab.cards().size(), 4);
    for (qsizetype i = 0; i < 4; ++i)
        EXPECT_TRUE(tab.cards()[i]->model() == viewModel->models()[i]);
    SettingsModelCard* turboCard = tab.card(WhisperModel::largeV3Turbo);
    EXPECT_TRUE(turboCard->isDownloaded());
    EXPECT_FALSE(turboCard->isSelected());

    clickPlate(*turboCard);
    EXPECT_TRUE(turboCard->isSelected());
    EXPECT_EQ(ModelManager::shared().activeModel(), std::optional<WhisperModel>(WhisperModel::largeV3Turbo));

    // A reload keeps the same cards.
    viewModel->loadInitialData();
    EXPECT_EQ(tab.card(WhisperModel::largeV3Turbo), turboCard);

    // Download gives way to an empty bar at once; stop brings it back.
    serveStalled(WhisperModel::largeV3);
    SettingsModelCard* v3Card = tab.card(WhisperModel::largeV3);
    QTest::mouseClick(v3Card->downloadButton(), Qt::LeftButton);
    EXPECT_EQ(actionsOf(*v3Card), (ActionArea{true, true, false, false}));
    EXPECT_EQ(v3Card->progressBar()->value(), 0);
    ASSERT_TRUE(pumpUntil([&] { return v3Card->progressBar()->value() > 0; }));
    QTest::mouseClick(v3Card->stopButton(), Qt::LeftButton);
    EXPECT_EQ(actionsOf(*v3Card), (ActionArea{false, false, false, true}));
    ASSERT_TRUE(pumpUntil(
        [&] { return modelsFolderEntries() == QStringList{WhisperModel(WhisperModel::largeV3Turbo).fileName()}; }));

    // Delete after confirming.
    QTest::mouseClick(turboCard->deleteButton(), Qt::LeftButton);
    ASSERT_NE(turboCard->deleteConfirmation(), nullptr);
    for (QAbstractButton* button : turboCard->deleteConfirmation()->buttons())
        if (button->text() == QStringLiteral("Delete"))
            button->click();
    ASSERT_TRUE(pumpUntil([&] { return !turboCard->isDownloaded(); }));
    EXPECT_FALSE(turboCard->isSelected());
    EXPECT_FALSE(QFileInfo::exists(pathOf(WhisperModel::largeV3Turbo)));
}
