#pragma once

#include <QColor>
#include <QWidget>

// A small capsule label: white text on its colour, lightened by the glass
// overlay.
class GlassBadge : public QWidget {
    Q_OBJECT
    Q_PROPERTY(QString text READ text WRITE setText NOTIFY textChanged)
    Q_PROPERTY(QColor color READ color WRITE setColor NOTIFY colorChanged)
public:
    GlassBadge(const QString& text, const QColor& color, QWidget* parent = nullptr);

    QString text() const { return label; }
    void setText(const QString& value);
    QColor color() const { return fill; }
    void setColor(const QColor& value);

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override { return sizeHint(); }

signals:
    void textChanged(const QString& text);
    void colorChanged(const QColor& color);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QString label;
    QColor fill;
};
