#pragma once

#include <QWidget>

class QVariantAnimation;

// The red dot of the recording status line: 6 points, fading between full
// and 0.3 opacity every 0.8 s (ease in and out, there and back) while it is
// on screen.
class PulsingDot : public QWidget {
    Q_OBJECT
    Q_PROPERTY(bool pulsing READ isPulsing NOTIFY pulsingChanged)

public:
    static constexpr int diameter = 6;
    static constexpr double dimOpacity = 0.3;
    static constexpr double halfPeriod = 0.8;

    explicit PulsingDot(QWidget* parent = nullptr);

    bool isPulsing() const { return pulsing; }
    double currentOpacity() const { return opacity; }

signals:
    void pulsingChanged(bool pulsing);

protected:
    void paintEvent(QPaintEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    void setPulsing(bool value);

    bool pulsing = false;
    double opacity = 1.0;
    QVariantAnimation* animation;
};
