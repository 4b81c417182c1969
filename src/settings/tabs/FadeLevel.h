#pragma once

#include <QVariantAnimation>
#include <QWidget>

// A level from 0 to 1 that eases in and out over 0.15 s whenever its target
// flips, repainting the widget that draws it on every step.
class FadeLevel {
public:
    FadeLevel(QWidget* owner, bool initiallyOn = false);

    void setOn(bool on);
    bool isOn() const { return target; }
    double value() const { return current; }

private:
    QWidget* widget;
    QVariantAnimation* animation;
    bool target;
    double current;
};
