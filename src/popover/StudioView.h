#pragma once

#include "popover/StudioState.h"

#include <QWidget>

class ModelPickerButton;
class ModelPickerPopup;
class PopoverViewModel;
class QLabel;
class QPlainTextEdit;
class QStackedLayout;
class RecordButton;
class SymbolButton;
class TranscriptPreview;
class WaveformView;

// The popover's content. Collapsed it is one 56-point row: the model
// picker, the transcript preview (or the level meter while recording) and
// the copy and record buttons. Expanded, the row is followed by the
// recording status line (while recording), the transcript editor and a row
// with collapse, the character count and clear.
class StudioView : public QWidget {
    Q_OBJECT

public:
    static constexpr int headerHeight = 56;
    static constexpr int editorMinimumHeight = 100;
    static constexpr int editorMaximumHeight = 200;

    explicit StudioView(PopoverViewModel& viewModel, StudioState::Scheduler scheduler = {}, QWidget* parent = nullptr);

    StudioState& state() { return studio; }

    // What the header's centre shows.
    enum class Centre { nothing, levelMeter, preview };
    Centre centre() const;
    bool isModelMenuShown() const;
    void showModelMenu();

    // The controls, for the panel's tests and for keyboard focus.
    ModelPickerButton* modelButton() const { return modelPicker; }
    ModelPickerPopup* modelMenu() const { return modelPopup; }
    TranscriptPreview* preview() const { return previewText; }
    WaveformView* levelMeter() const { return waveform; }
    SymbolButton* copyButton() const { return copy; }
    RecordButton* recordButton() const { return record; }
    QWidget* expandedArea() const { return expanded; }
    QWidget* statusLine() const { return status; }
    QLabel* elapsedTimeLabel() const { return elapsedTime; }
    QPlainTextEdit* editor() const { return textEditor; }
    SymbolButton* collapseButton() const { return collapse; }
    QLabel* characterCountLabel() const { return characterCount; }
    SymbolButton* clearButton() const { return clear; }

protected:
    void hideEvent(QHideEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    QWidget* buildHeader();
    QWidget* buildExpandedArea();
    QWidget* buildStatusLine();
    QWidget* buildEditor();
    QWidget* buildControlRow();
    void bind();
    void applyTextColours();
    void refreshModels();
    void refreshLayout();
    void refreshTranscript();

    PopoverViewModel& viewModel;
    StudioState studio;

    ModelPickerButton* modelPicker = nullptr;
    ModelPickerPopup* modelPopup = nullptr;
    QStackedLayout* centreStack = nullptr;
    QWidget* blankCentre = nullptr;
    QWidget* levelMeterBox = nullptr;
    WaveformView* waveform = nullptr;
    TranscriptPreview* previewText = nullptr;
    SymbolButton* copy = nullptr;
    RecordButton* record = nullptr;
    QWidget* expanded = nullptr;
    QWidget* status = nullptr;
    QLabel* elapsedTime = nullptr;
    QPlainTextEdit* textEditor = nullptr;
    SymbolButton* collapse = nullptr;
    QLabel* characterCount = nullptr;
    SymbolButton* clear = nullptr;
};
