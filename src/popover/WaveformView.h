#pragma once

#include <QWidget>

#include <array>

class QTimer;
class QVariantAnimation;

// A scrolling level meter of 20 thin bars. A new level enters at the right
// end; every 0.05 s the history moves one place to the left, so one row
// covers the last second. The timer runs only while the view is shown.
class WaveformView : public QWidget {
    Q_OBJECT
    Q_PROPERTY(double audioLevel READ audioLevel WRITE setAudioLevel NOTIFY audioLevelChanged)

public:
    static constexpr int barCount = 20;
    static constexpr double barSpacing = 4.0;
    static constexpr double barWidth = 4.0;
    static constexpr double maxBarHeight = 20.0;
    static constexpr double minBarHeight = 4.0;
    static constexpr double barCornerRadius = 2.0;
    static constexpr double updateInterval = 0.05;

    explicit WaveformView(QWidget* parent = nullptr);

    double audioLevel() const { return level; }
    // A level different from the current one becomes the newest entry of
    // the history; the same level again writes nothing there (it is still
    // announced).
    void setAudioLevel(double value);

    // A flat row again, as a new meter made at `currentLevel` starts.
    void reset(double currentLevel);

    // Oldest first.
    const std::array<double, barCount>& audioHistory() const { return history; }
    // minBarHeight + (maxBarHeight - minBarHeight) * level, unclamped.
    static double barHeight(double level);
    // The bar heights as the history gives them (the end of any animation).
    std::array<double, barCount> barHeights() const;

    // One scrolling step: every entry takes its right neighbour's value, the
    // newest stays.
    void scrollOneStep();
    bool isScrolling() const;

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

signals:
    void audioLevelChanged(double audioLevel);

protected:
    void paintEvent(QPaintEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    void animateFrom(const std::array<double, barCount>& previous);

    double level = 0.0;
    std::array<double, barCount> history{};
    // The heights painted at the start of the current 0.05 s transition.
    std::array<double, barCount> transitionStart{};
    double transitionProgress = 1.0;
    QTimer* scrollTimer;
    QVariantAnimation* transition;
};
