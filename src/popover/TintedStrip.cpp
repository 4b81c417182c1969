#include "popover/TintedStrip.h"

#include <QPainter>

TintedStrip::TintedStrip(Tint fill, QWidget* parent) : QWidget(parent), tint(std::move(fill)) { }

void TintedStrip::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.fillRect(rect(), tint(palette()));
}
