// A separate application to paste into: one focused line edit. Commands on
// standard input, one per line, answers on standard output:
//   copy       puts "user text" and an 8x8 red image on the clipboard -> "copied"
//   copy large the same with a 2048x2048 image (red first pixel)
//   text       -> "text <base64 of the line edit's text>"
//   clipboard  -> "clipboard <base64 of the text> <width>x<height> <first pixel #rrggbb>"
//   select     puts "user selection" on the PRIMARY selection -> "selected"
//   selection  -> "selection <base64 of the PRIMARY selection's text>"
//   focus      focuses the line edit anew -> "focused"
//   field      -> "field <x> <y> <width> <height>": the line edit within the
//              window, in device pixels
// It starts by printing "ready <window id>".
#include <QApplication>
#include <QClipboard>
#include <QImage>
#include <QLineEdit>
#include <QMimeData>
#include <QSocketNotifier>
#include <QTimer>
#include <QVBoxLayout>
#include <QWidget>

#include <cstdio>
#include <unistd.h>

namespace {

void reply(const QByteArray& line)
{
    std::fwrite(line.constData(), 1, static_cast<size_t>(line.size()), stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}

QByteArray describeClipboard()
{
    const QMimeData* data = QGuiApplication::clipboard()->mimeData();
    QByteArray line = "clipboard ";
    line += (data ? data->text() : QString()).toUtf8().toBase64();
    const QImage image = data && data->hasImage() ? qvariant_cast<QImage>(data->imageData()) : QImage();
    if (image.isNull()) {
        line += " none none";
    } else {
        line += ' ' + QByteArray::number(image.width()) + 'x' + QByteArray::number(image.height());
        line += ' ' + QColor(image.pixel(0, 0)).name().toLatin1();
    }
    return line;
}

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QWidget window;
    window.setWindowTitle(QStringLiteral("paste target"));
    auto* layout = new QVBoxLayout(&window);
    auto* edit = new QLineEdit(&window);
    layout->addWidget(edit);
    window.resize(400, 80);
    window.show();
    window.activateWindow();
    edit->setFocus();

    QSocketNotifier input(STDIN_FILENO, QSocketNotifier::Read);
    QByteArray pending;
    QObject::connect(&input, &QSocketNotifier::activated, [&] {
        char buffer[256];
        const ssize_t n = ::read(STDIN_FILENO, buffer, sizeof buffer);
        if (n <= 0) {
            QApplication::quit();
            return;
        }
        pending.append(buffer, n);
        qsizetype end;
        while ((end = pending.indexOf('\n')) >= 0) {
            const QByteArray command = pending.left(end).trimmed();
            pending.remove(0, end + 1);
            if (command == "copy" || command == "copy large") {
                auto* data = new QMimeData;
                data->setText(QStringLiteral("user text"));
                const int side = command == "copy" ? 8 : 2048;
                QImage image(side, side, QImage::Format_RGB32);
                image.fill(QColor(255, 0, 0));
                // Noise, so the encoded formats are as large as a photo's.
                for (int y = 1; y < side; ++y)
                    for (int x = 0; x < side; ++x)
                        image.setPixel(x, y, qRgb((x * 7 + y * 13) % 256, (x * y) % 256, (x ^ y) % 256));
                data->setImageData(image);
                QGuiApplication::clipboard()->setMimeData(data);
                reply("copied");
            } else if (command == "focus") {
                // Moves the focus off the field and back, so the field is
                // announced as focused anew.
                edit->clearFocus();
                edit->setFocus();
                reply("focused");
            } else if (command == "field") {
                const QRectF inWindow(edit->mapTo(&window, QPoint(0, 0)), QSizeF(edit->size()));
                const QRect device =
                    QRectF(inWindow.topLeft() * window.devicePixelRatio(), inWindow.size() * window.devicePixelRatio())
                        .toRect();
                reply(QStringLiteral("field %1 %2 %3 %4")
                          .arg(device.x())
                          .arg(device.y())
                          .arg(device.width())
                          .arg(device.height())
                          .toLatin1());
            } else if (command == "text") {
                reply("text " + edit->text().toUtf8().toBase64());
            } else if (command == "clipboard") {
                reply(describeClipboard());
            } else if (command == "select") {
                QGuiApplication::clipboard()->setText(QStringLiteral("user selection"), QClipboard::Selection);
                reply("selected");
            } else if (command == "selection") {
                reply("selection " + QGuiApplication::clipboard()->text(QClipboard::Selection).toUtf8().toBase64());
            }
        }
    });
    QTimer::singleShot(0, [&] { reply("ready " + QByteArray::number(window.winId())); });
    return app.exec();
}
