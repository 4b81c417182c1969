#pragma once

#include "shell/theme/TallowindTheme.h"

#include <QObject>

class QVariantAnimation;
class QWidget;

// Grows a widget while the pointer is over it: tracks the pointer entering
// and leaving `target` and animates a scale factor, which the widget applies
// when it paints (widgets cannot be scaled from outside).
class HoverEffectModifier : public QObject {
    Q_OBJECT
    Q_PROPERTY(double currentScale READ currentScale NOTIFY currentScaleChanged)
    Q_PROPERTY(bool hovered READ isHovered NOTIFY hoveredChanged)
public:
    HoverEffectModifier(QWidget* target, double scale);

    double scale() const { return hoverScale; }
    double currentScale() const { return current; }
    bool isHovered() const { return hovered; }
    void setHovered(bool value);

signals:
    void currentScaleChanged(double scale);
    void hoveredChanged(bool hovered);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void setCurrentScale(double value);

    QWidget* target;
    double hoverScale;
    double current = 1.0;
    bool hovered = false;
    QVariantAnimation* animation;
};

// Gives `view` the hover growth; the modifier is owned by the view.
HoverEffectModifier* hoverEffect(QWidget* view, double scale = TallowindTheme::Animation::hoverScale);
