#pragma once

#include "settings/tabs/FadeLevel.h"
#include "settings/tabs/SettingsTab.h"

#include <QAbstractButton>

// One entry of the Settings sidebar: the tab's icon and title, drawn
// selected (accent fill, white ink), hovered (faint fill and border) or
// plain. Selection wins over hover.
class SettingsTabButton : public QAbstractButton {
    Q_OBJECT
public:
    explicit SettingsTabButton(SettingsTab tab, QWidget* parent = nullptr);

    SettingsTab tab() const { return tabValue; }
    bool isSelected() const { return selection.isOn(); }
    void setSelected(bool selected);
    bool isHovered() const { return hover.isOn(); }

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;

private:
    SettingsTab tabValue;
    FadeLevel selection;
    FadeLevel hover;
};
