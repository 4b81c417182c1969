#pragma once

#include "core/speech/WhisperModel.h"
#include "settings/DownloadStatus.h"
#include "settings/tabs/FadeLevel.h"

#include <QMessageBox>
#include <QPointer>
#include <QWidget>

#include <functional>

class LineLimitedLabel;
class QLabel;
class QProgressBar;
class QToolButton;

// One model on the Models tab: whether it is the selected model, its name,
// size and description, and by its download status a progress bar with a
// stop button, a delete button or a download button. It holds plain values
// and hands every action to the closures it was given. Only a downloaded
// model's card takes clicks, hover and keyboard focus; a click selects it.
class SettingsModelCard : public QWidget {
    Q_OBJECT
public:
    struct Actions {
        std::function<void()> onSelect;
        std::function<void()> onDownload;
        std::function<void()> onCancel;
        std::function<void()> onDelete;
    };

    // The background plate sits this far inside the card, leaving room for
    // the hover scale.
    static constexpr int plateInset = 4;

    SettingsModelCard(WhisperModel model, bool isSelected, const DownloadStatus& downloadStatus, Actions actions,
        QWidget* parent = nullptr);

    WhisperModel model() const { return modelValue; }
    bool isSelected() const { return selectedValue; }
    void setSelected(bool selected);
    // Makes a downloaded model the chosen one, as a click on the card does.
    void choose();
    const DownloadStatus& downloadStatus() const { return status; }
    void setDownloadStatus(const DownloadStatus& value);
    bool isDownloaded() const { return status.isDownloaded(); }
    bool isHovered() const { return hover.isOn(); }
    QRect plateRect() const;

    // The delete confirmation while it is shown.
    QMessageBox* deleteConfirmation() const { return confirmation; }
    QToolButton* downloadButton() const { return downloadAction; }
    QToolButton* stopButton() const { return stopAction; }
    QToolButton* deleteButton() const { return deleteAction; }
    QProgressBar* progressBar() const { return progress; }
    QLabel* errorCaption() const { return errorLabel; }
    LineLimitedLabel* descriptionText() const { return descriptionLabel; }
    QWidget* selectionIndicator() const;

protected:
    void paintEvent(QPaintEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    void buildContent();
    void showDeleteConfirmation();
    void refresh();
    void refreshIcons();

    WhisperModel modelValue;
    bool selectedValue;
    DownloadStatus status;
    Actions actions;
    FadeLevel hover;

    QLabel* indicator = nullptr;
    LineLimitedLabel* descriptionLabel = nullptr;
    QLabel* errorLabel = nullptr;
    QWidget* progressArea = nullptr;
    QProgressBar* progress = nullptr;
    QToolButton* stopAction = nullptr;
    QToolButton* deleteAction = nullptr;
    QToolButton* downloadAction = nullptr;
    QPointer<QMessageBox> confirmation;
};
