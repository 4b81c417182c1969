#pragma once

#include "shell/theme/SymbolIcons.h"

#include <QAbstractButton>

#include <functional>

// A borderless button that is just a symbol, as the recording indicator's
// cancel and finish buttons are. Its tint follows the widget's palette, so
// it reads on a light and on a dark plate. Dimmed while held down.
class IndicatorSymbolButton : public QAbstractButton {
    Q_OBJECT

public:
    using TintForPalette = std::function<SymbolTint(const QPalette&)>;

    static constexpr int symbolSize = 24;

    IndicatorSymbolButton(const QString& symbolName, TintForPalette tint, QWidget* parent = nullptr);

    QString symbolName() const { return symbol; }
    SymbolTint currentTint() const { return tint(palette()); }

    QSize sizeHint() const override { return QSize(symbolSize, symbolSize); }
    QSize minimumSizeHint() const override { return sizeHint(); }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QString symbol;
    TintForPalette tint;
};
