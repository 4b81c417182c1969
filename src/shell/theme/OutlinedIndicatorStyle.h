#pragma once

#include <QProxyStyle>

// The desktop's style, with a check box's square and a radio button's
// circle always outlined: some styles draw them in a border the colour of a
// dark window, where an unchecked box disappears. The application's style.
class OutlinedIndicatorStyle : public QProxyStyle {
public:
    using QProxyStyle::QProxyStyle;

    void drawPrimitive(
        PrimitiveElement element, const QStyleOption* option, QPainter* painter, const QWidget* widget) const override;
};
