#pragma once

#include <QAbstractButton>

// A plain button that shows one of our symbols in the label colour of the
// palette (primary or secondary), at a fixed size, with nothing around it
// but a focus ring while it has the keyboard focus. Disabled, it is drawn
// at 0.3 opacity.
class SymbolButton : public QAbstractButton {
    Q_OBJECT
    Q_PROPERTY(QString symbolName READ symbolName WRITE setSymbolName NOTIFY symbolNameChanged)
    Q_PROPERTY(bool primaryTint READ primaryTint WRITE setPrimaryTint NOTIFY primaryTintChanged)

public:
    SymbolButton(const QString& symbolName, int symbolSize, QSize frame, const QString& accessibleName,
        QWidget* parent = nullptr);

    QString symbolName() const { return symbol; }
    void setSymbolName(const QString& name);
    // Primary label colour when true, secondary when false.
    bool primaryTint() const { return primary; }
    void setPrimaryTint(bool value);
    int symbolSize() const { return pixelSize; }

    QSize sizeHint() const override { return frameSize; }
    QSize minimumSizeHint() const override { return frameSize; }

signals:
    void symbolNameChanged(const QString& symbolName);
    void primaryTintChanged(bool primaryTint);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QString symbol;
    int pixelSize;
    QSize frameSize;
    bool primary = false;
};
