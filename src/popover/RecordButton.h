#pragma once

#include <QAbstractButton>

class HoverEffectModifier;

// The studio's round record button: a 32-point circle, red with a stop
// symbol while recording, else in the label colour with a microphone. It
// grows by 1.1 while the pointer is over it.
class RecordButton : public QAbstractButton {
    Q_OBJECT
    Q_PROPERTY(bool recording READ isRecording WRITE setRecording NOTIFY recordingChanged)

public:
    static constexpr double circleDiameter = 32.0;
    static constexpr int symbolSize = 14;
    static constexpr double hoverScale = 1.1;
    static constexpr double recordingSymbolScale = 0.8;

    explicit RecordButton(QWidget* parent = nullptr);

    bool isRecording() const { return recording; }
    void setRecording(bool value);
    QString symbolName() const;
    double currentScale() const;
    HoverEffectModifier* hoverEffect() const { return hover; }

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override { return sizeHint(); }

signals:
    void recordingChanged(bool recording);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    bool recording = false;
    HoverEffectModifier* hover;
};
