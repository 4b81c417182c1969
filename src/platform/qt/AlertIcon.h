#pragma once

#include <QMessageBox>
#include <QPixmap>

// The picture of an alert's icon at `size` logical pixels for a screen of
// `ratio`: the style's own when it has the pixels for that ratio, else the
// same sign drawn as shapes at that ratio (a style's icons are often one
// small bitmap, which a 2x screen shows blurred).
QPixmap alertIconPixmap(const QMessageBox& box, QMessageBox::Icon icon, int size, qreal ratio);
