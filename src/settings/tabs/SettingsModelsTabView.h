#pragma once

#include "core/speech/WhisperModel.h"

#include <QList>
#include <QPointer>
#include <QScrollArea>

class SettingsModelCard;
class SettingsViewModel;

// The Models page: one card per model of the view model's list, in its
// order, each showing the model's selection and download status and
// handing the card's actions to the view model.
class SettingsModelsTabView : public QScrollArea {
    Q_OBJECT
public:
    explicit SettingsModelsTabView(SettingsViewModel* viewModel, QWidget* parent = nullptr);

    QList<SettingsModelCard*> cards() const { return cardList; }
    SettingsModelCard* card(WhisperModel model) const;

private:
    void rebuildCards();
    void refreshCards();

    QPointer<SettingsViewModel> viewModel;
    QWidget* list;
    QList<SettingsModelCard*> cardList;
};
