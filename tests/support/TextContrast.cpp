#include "support/TextContrast.h"

#include "popover/TranscriptPreview.h"
#include "shell/theme/Contrast.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QHash>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QRadioButton>
#include <QStyleOptionButton>
#include <QToolButton>
#include <QWidget>

namespace {

QImage picture(QWidget& window, const QColor& backdrop)
{
    const QPixmap shot = window.grab();
    QImage result(shot.size(), QImage::Format_ARGB32);
    result.fill(backdrop.isValid() ? backdrop : window.palette().color(QPalette::Window));
    QPainter painter(&result);
    painter.drawPixmap(0, 0, shot);
    return result;
}

// Where a widget's own text goes, in its coordinates; empty when it shows
// no text.
QRect textArea(QWidget* widget)
{
    if (auto* label = qobject_cast<QLabel*>(widget))
        return label->text().trimmed().isEmpty() ? QRect() : label->contentsRect();
    if (auto* field = qobject_cast<QLineEdit*>(widget)) {
        const bool showsHint = field->text().isEmpty() && !field->placeholderText().isEmpty();
        return showsHint || !field->text().isEmpty() ? field->rect().adjusted(3, 3, -3, -3) : QRect();
    }
    // Painted text of our own, with no text property.
    if (auto* preview = qobject_cast<TranscriptPreview*>(widget))
        return preview->rect();
    auto* button = qobject_cast<QAbstractButton*>(widget);
    if (!button || button->text().trimmed().isEmpty())
        return {};
    if (auto* tool = qobject_cast<QToolButton*>(button); tool && tool->toolButtonStyle() == Qt::ToolButtonIconOnly)
        return {};
    if (qobject_cast<QCheckBox*>(button) || qobject_cast<QRadioButton*>(button)) {
        QStyleOptionButton option;
        option.initFrom(button);
        option.text = button->text();
        const auto element =
            qobject_cast<QCheckBox*>(button) ? QStyle::SE_CheckBoxContents : QStyle::SE_RadioButtonContents;
        return button->style()->subElementRect(element, &option, button);
    }
    return button->rect();
}

QString describe(QWidget* widget)
{
    QString text;
    if (auto* label = qobject_cast<QLabel*>(widget))
        text = label->text();
    else if (auto* field = qobject_cast<QLineEdit*>(widget))
        text = field->text().isEmpty() ? field->placeholderText() : field->text();
    else if (auto* preview = qobject_cast<TranscriptPreview*>(widget))
        text = preview->shownText();
    else if (auto* button = qobject_cast<QAbstractButton*>(widget))
        text = button->text();
    return QString::fromLatin1(widget->metaObject()->className()) + QStringLiteral(" \"") + text.left(40)
        + QLatin1Char('"');
}

} // namespace

double inkContrast(const QImage& picture, const QRect& area)
{
    const QRect inside = area.intersected(picture.rect());
    QHash<QRgb, int> counts;
    for (int y = inside.top(); y <= inside.bottom(); ++y)
        for (int x = inside.left(); x <= inside.right(); ++x)
            ++counts[picture.pixel(x, y) | 0xff000000u];
    QRgb background = 0;
    int most = 0;
    for (auto it = counts.cbegin(); it != counts.cend(); ++it)
        if (it.value() > most) {
            most = it.value();
            background = it.key();
        }
    double best = 1.0;
    for (auto it = counts.cbegin(); it != counts.cend(); ++it)
        best = std::max(best, Contrast::ratio(QColor::fromRgb(it.key()), QColor::fromRgb(background)));
    return best;
}

QList<MeasuredText> measureTexts(QWidget& window, const QColor& backdrop)
{
    const QImage shot = picture(window, backdrop);
    QList<MeasuredText> result;
    for (QWidget* widget : window.findChildren<QWidget*>()) {
        // A disabled control is exempt: its faintness says it is disabled.
        if (!widget->isVisibleTo(&window) || widget->window() != &window || !widget->isEnabled())
            continue;
        // A part scrolled out of sight is not measured against what covers it.
        const QRect area = textArea(widget).intersected(widget->visibleRegion().boundingRect());
        if (area.width() < 4 || area.height() < 4)
            continue;
        const QRect placed = area.translated(widget->mapTo(&window, QPoint(0, 0)));
        result.append({describe(widget), inkContrast(shot, placed)});
    }
    return result;
}
