#pragma once

#include <QList>
#include <QRectF>
#include <QWidget>

#include <vector>

class SpringAnimation;

// The indicator's level meter: a centred row of thin bars, bar i showing
// levels[i] (newest first). Every change of the levels springs each bar from
// the height it has now to its new one.
class AudioLevelsView : public QWidget {
    Q_OBJECT

public:
    static constexpr int barCount = 30;
    static constexpr double barWidth = 2.0;
    static constexpr double barSpacing = 1.5;
    static constexpr double minimumBarHeight = 4.0;
    // A level of 1 adds this to the minimum.
    static constexpr double levelScale = 20.0;
    static constexpr int rowHeight = 28;

    explicit AudioLevelsView(QWidget* parent = nullptr);

    const QList<float>& levels() const { return target; }
    void setLevels(const QList<float>& levels);

    // The height bar `index` settles at for `levels`; the minimum for a bar
    // without a level.
    static double levelHeight(const QList<float>& levels, int index);
    // Where bar `index` is drawn now, in widget coordinates.
    QRectF barRect(int index) const;
    static double rowWidth() { return barCount * barWidth + (barCount - 1) * barSpacing; }

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override { return sizeHint(); }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QList<float> target;
    std::vector<double> startHeights;
    std::vector<double> shownHeights;
    std::vector<double> endHeights;
    SpringAnimation* spring;
};
