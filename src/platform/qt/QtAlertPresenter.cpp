#include "platform/qt/QtAlertPresenter.h"

#include "platform/qt/AlertDetailsBrowser.h"
#include "platform/qt/AlertIcon.h"

#include <QAbstractButton>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>

#include <algorithm>
#include <vector>

namespace {

QMessageBox::Icon iconFor(AlertStyle style)
{
    switch (style) {
    case AlertStyle::Informational:
        return QMessageBox::Information;
    case AlertStyle::Warning:
        return QMessageBox::Warning;
    case AlertStyle::Critical:
        return QMessageBox::Critical;
    }
    return QMessageBox::NoIcon;
}

// Texts may carry words from elsewhere (a feed's titles); none of them is
// markup.
void showAsPlainText(QMessageBox& box)
{
    box.setTextFormat(Qt::PlainText);
    if (auto* informative = box.findChild<QLabel*>(QStringLiteral("qt_msgbox_informativelabel")))
        informative->setTextFormat(Qt::PlainText);
}

// Puts the details between the texts and the buttons, across the text column.
void addDetails(QMessageBox& box, QGridLayout& grid, const QString& html)
{
    auto* buttons = box.findChild<QDialogButtonBox*>();
    const int index = buttons ? grid.indexOf(buttons) : -1;
    if (index < 0)
        return;
    int row = 0;
    int column = 0;
    int rowSpan = 0;
    int columnSpan = 0;
    grid.getItemPosition(index, &row, &column, &rowSpan, &columnSpan);
    grid.removeWidget(buttons);
    const int textColumn = grid.columnCount() - 1;
    grid.addWidget(new AlertDetailsBrowser(html, &box), row, textColumn);
    grid.addWidget(buttons, row + 1, column, rowSpan, columnSpan);
}

// The stock box sizes itself to its longest word, so short sentences wrap
// over several lines; a spacer row gives it a floor.
void keepReadableWidth(QMessageBox& box, QGridLayout& grid)
{
    int width = QtAlertPresenter::minimumWidth;
    if (const QScreen* screen = box.screen())
        width = std::min(width, screen->availableGeometry().width() * 3 / 4);
    grid.addItem(
        new QSpacerItem(width, 0, QSizePolicy::Fixed, QSizePolicy::Fixed), grid.rowCount(), 0, 1, grid.columnCount());
}

// QMessageBox draws its icon at 1x before it has a window of its own, and a
// 2x screen then shows it blurred: draw it at the window's ratio.
void drawIconAtDeviceRatio(QMessageBox& box)
{
    auto* label = box.findChild<QLabel*>(QStringLiteral("qt_msgboxex_icon_label"));
    if (!label || box.icon() == QMessageBox::NoIcon || label->pixmap().isNull())
        return;
    // The size it already has, so that the layout stays as it is.
    const int size = qRound(label->pixmap().deviceIndependentSize().width());
    label->setPixmap(alertIconPixmap(box, box.icon(), size, box.devicePixelRatio()));
}

// Escape and the window's close button dismiss the alert without choosing any
// of its buttons. QMessageBox would click a rejecting button for them, and a
// button such as "Quit" must only act when the user clicks it.
class AlertBox final : public QMessageBox {
protected:
    void keyPressEvent(QKeyEvent* event) override
    {
        if (event->matches(QKeySequence::Cancel)) {
            reject();
            return;
        }
        QMessageBox::keyPressEvent(event);
    }
    void closeEvent(QCloseEvent* event) override { QDialog::closeEvent(event); }
    void showEvent(QShowEvent* event) override
    {
        QMessageBox::showEvent(event);
        drawIconAtDeviceRatio(*this);
    }
};

} // namespace

int QtAlertPresenter::runModal(const Alert& alert)
{
    if (stopped)
        return -1;
    AlertBox box;
    box.setIcon(iconFor(alert.style));
    box.setText(alert.messageText);
    box.setInformativeText(alert.informativeText);
    showAsPlainText(box);
    const QStringList titles = alert.buttons.isEmpty() ? QStringList{QStringLiteral("OK")} : alert.buttons;
    std::vector<QAbstractButton*> buttons;
    for (qsizetype i = 0; i < titles.size(); ++i) {
        // The first button accepts; any later one is a rejecting choice.
        const auto role = i == 0 ? QMessageBox::AcceptRole : QMessageBox::RejectRole;
        buttons.push_back(box.addButton(titles[i], role));
    }
    box.setDefaultButton(qobject_cast<QPushButton*>(buttons.front()));
    // After every setter: each of them lays the box out anew.
    if (auto* grid = qobject_cast<QGridLayout*>(box.layout())) {
        if (!alert.detailsHtml.isEmpty())
            addDetails(box, *grid, alert.detailsHtml);
        keepReadableWidth(box, *grid);
    }
    box.exec();
    for (size_t i = 0; i < buttons.size(); ++i) {
        if (box.clickedButton() == buttons[i])
            return static_cast<int>(i);
    }
    return -1;
}
