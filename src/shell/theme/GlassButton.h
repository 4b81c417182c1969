#pragma once

#include <QAbstractButton>

#include <functional>

class HoverEffectModifier;

// A capsule button in the accent colour, lightened by a white overlay, with
// an optional symbol before its title. It grows while hovered (animated)
// and shrinks while held down (at once); the two multiply.
class GlassButton : public QAbstractButton {
    Q_OBJECT
    Q_PROPERTY(QString iconName READ iconName WRITE setIconName NOTIFY iconNameChanged)
public:
    GlassButton(
        const QString& title, const QString& iconName, std::function<void()> action = {}, QWidget* parent = nullptr);

    QString title() const { return text(); }
    QString iconName() const { return symbol; }
    void setIconName(const QString& name);
    // The scale about the centre the button is painted with now.
    double currentScale() const;
    HoverEffectModifier* hoverEffect() const { return hover; }

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override { return sizeHint(); }

signals:
    void iconNameChanged(const QString& iconName);

protected:
    void paintEvent(QPaintEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    QSize capsuleSize() const;
    int margin() const;

    QString symbol;
    HoverEffectModifier* hover;
};
