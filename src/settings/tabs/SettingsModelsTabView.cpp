#include "settings/tabs/SettingsModelsTabView.h"

#include "settings/SettingsViewModel.h"
#include "settings/tabs/SettingsModelCard.h"
#include "shell/theme/SoftShadow.h"
#include "shell/theme/TallowindTheme.h"

#include <QPainter>
#include <QPainterPath>
#include <QScrollBar>
#include <QVBoxLayout>

namespace {

// The column of cards. It casts the cards' shadows itself, so they may
// reach beyond each card's own bounds.
class CardColumn : public QWidget {
public:
    explicit CardColumn(const QList<SettingsModelCard*>* shownCards) : cards(shownCards) { }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter painter(this);
        const std::vector<DropShadow> shadows{
            {QColor(0, 0, 0, 38), 10.0, QPointF(0, 4)}, {QColor(0, 0, 0, 26), 4.0, QPointF(0, 2)}};
        // Shadows fall around the plates, not through their translucent fill.
        QPainterPath outside;
        outside.addRect(QRectF(rect()));
        for (const SettingsModelCard* card : *cards) {
            QPainterPath plate;
            plate.addRoundedRect(QRectF(card->plateRect().translated(card->pos())), TallowindTheme::Radius::medium,
                TallowindTheme::Radius::medium);
            outside = outside.subtracted(plate);
        }
        painter.setClipPath(outside);
        for (const SettingsModelCard* card : *cards) {
            const QRect plate = card->plateRect().translated(card->pos());
            const ShadowImage shadow =
                roundedRectShadows(QSizeF(plate.size()), TallowindTheme::Radius::medium, shadows);
            painter.drawImage(plate.topLeft() - shadow.origin, shadow.image);
        }
    }

private:
    const QList<SettingsModelCard*>* cards;
};

} // namespace

SettingsModelsTabView::SettingsModelsTabView(SettingsViewModel* model, QWidget* parent)
    : QScrollArea(parent), viewModel(model), list(new CardColumn(&cardList))
{
    setAccessibleName(QStringLiteral("Models"));
    setFrameShape(QFrame::NoFrame);
    setWidgetResizable(true);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    // Tab moves through the cards and their buttons, and the area scrolls to
    // each; the area and its bar are no stops of their own.
    setFocusPolicy(Qt::NoFocus);
    verticalScrollBar()->setFocusPolicy(Qt::NoFocus);
    verticalScrollBar()->setAccessibleName(QStringLiteral("Scroll models"));
    // The window's backdrop shows through.
    viewport()->setAutoFillBackground(false);
    list->setAutoFillBackground(false);

    auto* column = new QVBoxLayout(list);
    // The cards carry a small inset of their own around their plates.
    const int inset = SettingsModelCard::plateInset;
    column->setContentsMargins(20 - inset, 20 - inset, 20 - inset, 20 - inset);
    column->setSpacing(12 - 2 * inset);
    column->addStretch(1);
    setWidget(list);

    connect(viewModel, &SettingsViewModel::modelsChanged, this, &SettingsModelsTabView::rebuildCards);
    connect(viewModel, &SettingsViewModel::selectedModelChanged, this, &SettingsModelsTabView::refreshCards);
    connect(viewModel, &SettingsViewModel::downloadStatusesChanged, this, &SettingsModelsTabView::refreshCards);
    rebuildCards();
}

SettingsModelCard* SettingsModelsTabView::card(WhisperModel model) const
{
    for (SettingsModelCard* each : cardList)
        if (each->model() == model)
            return each;
    return nullptr;
}

void SettingsModelsTabView::rebuildCards()
{
    const QList<WhisperModel> models = viewModel ? viewModel->models() : QList<WhisperModel>();
    QList<WhisperModel> shown;
    for (const SettingsModelCard* each : cardList)
        shown.append(each->model());
    // Cards belong to their model: the same list keeps its cards (and their
    // hover and alert state).
    if (shown == models) {
        refreshCards();
        return;
    }
    qDeleteAll(cardList);
    cardList.clear();
    auto* column = static_cast<QVBoxLayout*>(list->layout());
    for (WhisperModel model : models) {
        QPointer<SettingsViewModel> target = viewModel;
        SettingsModelCard::Actions actions{
            [target, model] {
                if (target)
                    target->selectModel(model);
            },
            [target, model] {
                if (target)
                    target->downloadModel(model);
            },
            [target, model] {
                if (target)
                    target->cancelDownload(model);
            },
            [target, model] {
                if (target)
                    target->deleteModel(model);
            },
        };
        auto* card = new SettingsModelCard(
            model, viewModel->selectedModel() == model, viewModel->downloadStatus(model), std::move(actions), list);
        column->insertWidget(column->count() - 1, card);
        cardList.append(card);
    }
    list->update();
}

void SettingsModelsTabView::refreshCards()
{
    if (!viewModel)
        return;
    for (SettingsModelCard* each : cardList) {
        each->setSelected(viewModel->selectedModel() == each->model());
        each->setDownloadStatus(viewModel->downloadStatus(each->model()));
    }
}
