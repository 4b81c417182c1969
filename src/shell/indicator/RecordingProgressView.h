#pragma once

#include <QPointF>
#include <QPointer>
#include <QWidget>

class AudioLevelsView;
class IndicatorSymbolButton;
class RecordingIndicatorHost;
class RecordingProgressViewModel;
class SpringAnimation;
class QAbstractButton;

// The recording indicator's content: a glass plate with a cancel button, a
// live level meter and a finish button. It grows and fades in the first
// time it is shown; dragging its plate moves the content inside the window,
// and letting go springs it back.
class RecordingProgressView : public QWidget {
    Q_OBJECT

public:
    static constexpr int plateWidth = 220;
    static constexpr int plateHeight = 56;
    // Pointer travel before a press becomes a drag.
    static constexpr double dragThreshold = 10.0;
    static constexpr double hiddenScale = 0.85;

    // The buttons act through `host` (none: they do nothing). The host must
    // outlive the view.
    explicit RecordingProgressView(RecordingIndicatorHost* host = nullptr, QWidget* parent = nullptr);

    RecordingProgressViewModel* viewModel() const { return model; }
    AudioLevelsView* levelsView() const { return meter; }
    QAbstractButton* cancelButton() const;
    QAbstractButton* finishButton() const;
    // The plate that carries the content (it moves while dragged).
    QWidget* plate() const { return plateWidget; }

    // True from the first appearance on.
    bool hasAppeared() const { return appeared; }
    // 0 before the first appearance, 1 once the entrance has settled.
    double appearProgress() const { return appearValue; }
    QPointF dragOffset() const { return offset; }

    QSize sizeHint() const override { return QSize(plateWidth, plateHeight); }

protected:
    void showEvent(QShowEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    class ScaleFadeEffect;

    void setAppearValue(double value);
    void setDragOffset(const QPointF& value);
    void act(void (RecordingIndicatorHost::*action)());

    RecordingIndicatorHost* host;
    RecordingProgressViewModel* model;
    QWidget* plateWidget;
    AudioLevelsView* meter;
    IndicatorSymbolButton* cancel;
    IndicatorSymbolButton* finish;
    ScaleFadeEffect* effect;
    SpringAnimation* entrance;
    SpringAnimation* springBack;

    bool appeared = false;
    double appearValue = 0.0;
    QPointF offset;
    bool pressed = false;
    bool dragging = false;
    QPointF pressPosition;
};
