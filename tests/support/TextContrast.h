#pragma once

#include <QColor>
#include <QImage>
#include <QList>
#include <QString>

class QWidget;

// The contrast of the texts of a window as painted: the window is grabbed
// over a backdrop (where a translucent window shows the desktop; its
// palette's window colour unless told), and in each text's rectangle the commonest colour is taken for
// the background and the pixel farthest from it for the ink.
struct MeasuredText {
    QString what;
    double ratio = 0.0;
};

// The commonest colour of `area` and the contrast of the pixel farthest
// from it.
double inkContrast(const QImage& picture, const QRect& area);

// Every visible, enabled label, button and check box with text, and every
// empty field's placeholder, in `window`.
QList<MeasuredText> measureTexts(QWidget& window, const QColor& backdrop = QColor());
