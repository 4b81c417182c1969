#pragma once

#include "popover/WhisperModelInfo.h"

#include <QAbstractButton>
#include <QFrame>
#include <QList>

// One model of the picker: its name, a check mark when it is the active
// one (on a faint accent background), secondary and disabled when the model
// is not on disk.
class ModelRowButton : public QAbstractButton {
    Q_OBJECT

public:
    static constexpr int fontPixelSize = 12;
    static constexpr int checkmarkSize = 10;
    static constexpr int minimumLabelWidth = 150;

    explicit ModelRowButton(const WhisperModelInfo& row, QWidget* parent = nullptr);

    const WhisperModelInfo& row() const { return info; }

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override { return sizeHint(); }

protected:
    void paintEvent(QPaintEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    WhisperModelInfo info;
};

// The picker's pop-up: one row per model in catalogue order, a divider and
// "Manage Models...". Choosing a model on disk or "Manage Models..." closes
// it; so do a click outside and Escape. Arrow keys move between the rows.
class ModelPickerPopup : public QFrame {
    Q_OBJECT

public:
    static constexpr int popupWidth = 200;

    explicit ModelPickerPopup(QWidget* parent = nullptr);

    void setModels(const QList<WhisperModelInfo>& rows);
    QList<ModelRowButton*> rowButtons() const { return rows; }
    QAbstractButton* manageModelsButton() const { return manageButton; }
    // Shows the pop-up under `anchor`, the focus on the active row.
    void popUp(QWidget* anchor);

signals:
    void modelChosen(const WhisperModelInfo& row);
    void manageModelsRequested();
    void closed();

protected:
    void paintEvent(QPaintEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    QList<ModelRowButton*> rows;
    QAbstractButton* manageButton;
    class QVBoxLayout* rowLayout;
};
