#include "popover/StudioView.h"

#include "popover/ModelPickerButton.h"
#include "popover/ModelPickerPopup.h"
#include "popover/PopoverViewModel.h"
#include "popover/PulsingDot.h"
#include "popover/RecordButton.h"
#include "popover/SymbolButton.h"
#include "popover/TintedStrip.h"
#include "popover/TranscriptPreview.h"
#include "popover/TranscriptText.h"
#include "popover/WaveformView.h"

#include "recording/RecordingManager.h"
#include "shell/theme/TallowindTheme.h"
#include "shell/theme/ViewTransition.h"

#include <QEvent>
#include <QFontDatabase>
#include <QHBoxLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QStackedLayout>
#include <QVBoxLayout>

namespace {

QColor withAlpha(QColor colour, double alpha)
{
    colour.setAlphaF(static_cast<float>(colour.alphaF() * alpha));
    return colour;
}

QFont sizedFont(QFont font, int pixelSize, QFont::Weight weight)
{
    font.setPixelSize(pixelSize);
    font.setWeight(weight);
    return font;
}

// How the studio's parts come and go when no caller animates the change.
MotionCurve ownCurve()
{
    return MotionTransaction::currentOr(TallowindTheme::Animation::easeInOut());
}

void setTextColour(QWidget* widget, const QColor& colour)
{
    QPalette palette = widget->palette();
    palette.setColor(QPalette::WindowText, colour);
    palette.setColor(QPalette::Text, colour);
    widget->setPalette(palette);
}

} // namespace

StudioView::StudioView(PopoverViewModel& model, StudioState::Scheduler scheduler, QWidget* parent)
    : QWidget(parent), viewModel(model), studio(model, std::move(scheduler))
{
    setAccessibleName(QStringLiteral("Studio"));
    auto* root = new QVBoxLayout(this);
    // The header sits where centring puts it in the collapsed frame, and the
    // expanded layout fills the taller one just as evenly; the header keeps
    // that place while the popover grows, shrinks or is made larger.
    root->setContentsMargins(0, (PopoverViewModel::collapsedHeight - headerHeight) / 2, 0, 0);
    root->setSpacing(0);
    root->addWidget(buildHeader());
    root->addWidget(buildExpandedArea());
    root->addStretch(1);
    modelPopup = new ModelPickerPopup(this);
    applyTextColours();
    bind();
    refreshModels();
    refreshLayout();
    refreshTranscript();
}

QWidget* StudioView::buildHeader()
{
    auto* header = new QWidget(this);
    header->setFixedHeight(headerHeight);
    auto* row = new QHBoxLayout(header);
    row->setContentsMargins(16, 0, 16, 0);
    row->setSpacing(12);

    modelPicker = new ModelPickerButton(header);
    row->addWidget(modelPicker);

    auto* centreBox = new QWidget(header);
    centreBox->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
    centreStack = new QStackedLayout(centreBox);
    // All pages share the place, so one can leave while the next comes in.
    centreStack->setStackingMode(QStackedLayout::StackAll);
    centreStack->setContentsMargins(0, 0, 0, 0);
    blankCentre = new QWidget(centreBox);
    levelMeterBox = new QWidget(centreBox);
    auto* meterRow = new QHBoxLayout(levelMeterBox);
    meterRow->setContentsMargins(8, 0, 8, 0);
    waveform = new WaveformView(levelMeterBox);
    waveform->setFixedHeight(20);
    waveform->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    meterRow->addWidget(waveform);
    previewText = new TranscriptPreview(centreBox);
    centreStack->addWidget(blankCentre);
    centreStack->addWidget(levelMeterBox);
    centreStack->addWidget(previewText);
    row->addWidget(centreBox, 1);

    auto* buttons = new QHBoxLayout;
    buttons->setSpacing(8);
    copy = new SymbolButton(QStringLiteral("doc.on.doc"), 14, QSize(28, 28), QStringLiteral("Copy transcript"), header);
    record = new RecordButton(header);
    buttons->addWidget(copy);
    buttons->addWidget(record);
    row->addLayout(buttons);
    return header;
}

QWidget* StudioView::buildExpandedArea()
{
    expanded = new QWidget(this);
    auto* column = new QVBoxLayout(expanded);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);
    column->addWidget(buildStatusLine());
    column->addWidget(buildEditor(), 1);
    column->addWidget(buildControlRow());
    return expanded;
}

QWidget* StudioView::buildStatusLine()
{
    status = new TintedStrip(
        [](const QPalette&) { return withAlpha(TallowindTheme::Colors::destructiveColor(), 0.05); }, expanded);
    status->setAccessibleName(QStringLiteral("Recording status"));
    auto* row = new QHBoxLayout(status);
    row->setContentsMargins(16, 8, 16, 8);
    row->setSpacing(6);
    row->addWidget(new PulsingDot(status));
    auto* title = new QLabel(QStringLiteral("Recording"), status);
    title->setFont(sizedFont(font(), 11, QFont::Medium));
    setTextColour(title, TallowindTheme::Colors::destructiveColor(palette()));
    row->addWidget(title);
    elapsedTime = new QLabel(StudioState::formatTime(0), status);
    QFont mono = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    elapsedTime->setFont(sizedFont(mono, 11, QFont::Normal));
    elapsedTime->setAccessibleName(QStringLiteral("Elapsed time"));
    setTextColour(elapsedTime, TallowindTheme::Colors::destructiveColor(palette()));
    row->addWidget(elapsedTime);
    row->addStretch(1);
    return status;
}

QWidget* StudioView::buildEditor()
{
    auto* box = new QWidget(expanded);
    box->setMaximumHeight(editorMaximumHeight);
    auto* layout = new QVBoxLayout(box);
    layout->setContentsMargins(16, 12, 16, 12);
    textEditor = new QPlainTextEdit(box);
    textEditor->setAccessibleName(QStringLiteral("Transcript"));
    textEditor->setFrameShape(QFrame::NoFrame);
    textEditor->setTabChangesFocus(true);
    textEditor->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    textEditor->setWordWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    textEditor->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    textEditor->setMinimumHeight(editorMinimumHeight - 24);
    textEditor->setFont(sizedFont(font(), 14, QFont::Normal));
    textEditor->document()->setDocumentMargin(0);
    textEditor->viewport()->setAutoFillBackground(false);
    textEditor->setAutoFillBackground(false);
    layout->addWidget(textEditor);
    return box;
}

QWidget* StudioView::buildControlRow()
{
    auto* bar = new TintedStrip(
        [](const QPalette& palette) { return withAlpha(palette.color(QPalette::Mid), 0.05); }, expanded);
    auto* row = new QHBoxLayout(bar);
    row->setContentsMargins(16, 10, 16, 10);
    collapse = new SymbolButton(QStringLiteral("chevron.up"), 12, QSize(20, 20), QStringLiteral("Collapse"), bar);
    characterCount = new QLabel(bar);
    characterCount->setFont(sizedFont(font(), 11, QFont::Normal));
    characterCount->setAccessibleName(QStringLiteral("Character count"));
    clear = new SymbolButton(QStringLiteral("xmark"), 12, QSize(20, 20), QStringLiteral("Clear transcript"), bar);
    row->addWidget(collapse);
    row->addStretch(1);
    row->addWidget(characterCount);
    row->addStretch(1);
    row->addWidget(clear);
    return bar;
}

void StudioView::bind()
{
    connect(&viewModel, &PopoverViewModel::modelsChanged, this, &StudioView::refreshModels);
    connect(&viewModel, &PopoverViewModel::isExpandedChanged, this, &StudioView::refreshLayout);
    connect(&studio, &StudioState::isRecordingChanged, this, [this](bool recording) {
        if (recording)
            waveform->reset(RecordingManager::shared().audioLevel());
        record->setRecording(recording);
        refreshLayout();
    });
    connect(&studio, &StudioState::transcribedTextChanged, this, &StudioView::refreshTranscript);
    connect(&studio, &StudioState::showCopiedAlertChanged, this, [this](bool copied) {
        ViewTransition::crossfade(
            copy,
            [this, copied] {
                copy->setSymbolName(copied ? QStringLiteral("checkmark") : QStringLiteral("doc.on.doc"));
                copy->setPrimaryTint(copied);
            },
            ownCurve());
    });
    connect(&studio, &StudioState::recordingTimeChanged, this,
        [this](double seconds) { elapsedTime->setText(StudioState::formatTime(seconds)); });
    connect(&RecordingManager::shared(), &RecordingManager::audioLevelChanged, waveform,
        [this](float level) { waveform->setAudioLevel(static_cast<double>(level)); });

    connect(modelPicker, &QAbstractButton::clicked, this, &StudioView::showModelMenu);
    connect(modelPopup, &ModelPickerPopup::modelChosen, this,
        [this](const WhisperModelInfo& row) { viewModel.selectModel(row); });
    connect(modelPopup, &ModelPickerPopup::manageModelsRequested, this, [this] {
        if (PopoverHost* host = viewModel.host())
            host->openSettings();
    });
    connect(previewText, &TranscriptPreview::expandRequested, this, [this] {
        const MotionTransaction spring(TallowindTheme::Animation::defaultSpring);
        viewModel.setExpanded(true);
    });
    connect(copy, &QAbstractButton::clicked, &studio, &StudioState::copyText);
    connect(record, &QAbstractButton::clicked, &studio, &StudioState::toggleRecording);
    connect(collapse, &QAbstractButton::clicked, this, [this] { viewModel.setExpanded(false); });
    connect(clear, &QAbstractButton::clicked, &studio, &StudioState::clearText);
    // Every edit is the transcript at once.
    connect(textEditor, &QPlainTextEdit::textChanged, this, [this] {
        const QString typed = textEditor->toPlainText();
        if (typed != studio.transcribedText())
            studio.setTranscribedText(typed);
    });
}

StudioView::Centre StudioView::centre() const
{
    if (viewModel.isExpanded())
        return Centre::nothing;
    return studio.isRecording() ? Centre::levelMeter : Centre::preview;
}

bool StudioView::isModelMenuShown() const
{
    return modelPopup->isVisible();
}

void StudioView::showModelMenu()
{
    modelPopup->popUp(modelPicker);
}

void StudioView::refreshModels()
{
    const std::optional<WhisperModelInfo> active = viewModel.activeModel();
    modelPicker->setModelName(active ? active->displayName : QString());
    modelPopup->setModels(viewModel.models());
}

void StudioView::refreshLayout()
{
    using ViewTransition::Style;
    const Centre shown = centre();
    const MotionCurve curve = ownCurve();
    blankCentre->setVisible(shown == Centre::nothing);
    ViewTransition::setPresent(levelMeterBox, shown == Centre::levelMeter, Style::scaleAndFade, curve);
    ViewTransition::setPresent(previewText, shown == Centre::preview, Style::scaleAndFade, curve);
    ViewTransition::setPresent(expanded, viewModel.isExpanded(), Style::slideFromTopAndFade, curve);
    status->setVisible(studio.isRecording());
}

void StudioView::refreshTranscript()
{
    const QString text = studio.transcribedText();
    previewText->setTranscript(text);
    const MotionCurve curve = ownCurve();
    ViewTransition::setPresent(copy, !text.isEmpty(), ViewTransition::Style::scaleAndFade, curve);
    if (textEditor->toPlainText() != text)
        textEditor->setPlainText(text);
    // An emptied transcript's count fades out showing its last number.
    if (!text.isEmpty())
        characterCount->setText(TranscriptText::characterCountText(text));
    ViewTransition::setPresent(characterCount, !text.isEmpty(), ViewTransition::Style::fade, curve);
    clear->setEnabled(!text.isEmpty());
}

// The secondary and primary inks come from the palette, so they are set
// again when it changes (light and dark).
void StudioView::applyTextColours()
{
    setTextColour(characterCount, TallowindTheme::Colors::textSecondary(palette()));
    QPalette editorPalette = textEditor->palette();
    editorPalette.setColor(QPalette::Text, TallowindTheme::Colors::textPrimary(palette()));
    editorPalette.setColor(QPalette::Base, Qt::transparent);
    textEditor->setPalette(editorPalette);
}

void StudioView::changeEvent(QEvent* event)
{
    QWidget::changeEvent(event);
    if (event->type() == QEvent::PaletteChange)
        applyTextColours();
}

// Closing the popover stops the studio's own recording (and only that).
void StudioView::hideEvent(QHideEvent* event)
{
    QWidget::hideEvent(event);
    if (!event->spontaneous())
        studio.viewDidDisappear();
}
