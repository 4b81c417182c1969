// A clipboard owner that is slow to answer, to test how a paste copes with
// it. Arguments: <number of custom formats> <delay per request in ms>.
// Commands on standard input, one per line, answers on standard output:
//   copy     offers the custom formats, "user text" and a PNG -> "copied"
//   formats  -> "formats <formats on the clipboard now, comma separated>"
//   clipboard -> "clipboard <base64 of the text> <base64 of the PNG>"
//   data F   -> "data <base64 of format F on the clipboard now>"
//   owns     -> "owns yes" while this program holds the clipboard, else "owns no"
// It starts by printing "ready 0".
#include <QApplication>
#include <QClipboard>
#include <QMimeData>
#include <QSocketNotifier>
#include <QThread>

#include <cstdio>
#include <unistd.h>

namespace {

void reply(const QByteArray& line)
{
    std::fwrite(line.constData(), 1, static_cast<size_t>(line.size()), stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}

const QByteArray pngBytes("\x89PNG\r\n\x1a\nnot really pixels", 25);

// Answers each request for data only after `delayMs`, like an owner that
// renders its formats on demand.
class SlowMimeData final : public QMimeData {
public:
    SlowMimeData(int customFormats, int delayMs) : delay(delayMs)
    {
        // Listed ahead of the text and the image, as some applications do.
        for (int i = 0; i < customFormats; ++i)
            offered.append(QStringLiteral("application/x-slow-format-%1").arg(i));
        offered << QStringLiteral("text/plain") << QStringLiteral("image/png");
    }

    QStringList formats() const override { return offered; }
    bool hasFormat(const QString& format) const override { return offered.contains(format); }

protected:
    QVariant retrieveData(const QString& format, QMetaType) const override
    {
        QThread::msleep(static_cast<unsigned long>(delay));
        if (format == QLatin1String("text/plain"))
            return QByteArray("user text");
        if (format == QLatin1String("image/png"))
            return pngBytes;
        return format.toLatin1();
    }

private:
    QStringList offered;
    int delay;
};

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    const int customFormats = argc > 1 ? QByteArray(argv[1]).toInt() : 0;
    const int delayMs = argc > 2 ? QByteArray(argv[2]).toInt() : 0;

    QSocketNotifier input(STDIN_FILENO, QSocketNotifier::Read);
    QObject::connect(&input, &QSocketNotifier::activated, [&] {
        char buffer[256];
        if (!std::fgets(buffer, sizeof buffer, stdin)) {
            QApplication::quit();
            return;
        }
        const QByteArray command = QByteArray(buffer).trimmed();
        QClipboard* board = QGuiApplication::clipboard();
        if (command == "copy") {
            board->setMimeData(new SlowMimeData(customFormats, delayMs));
            reply("copied");
        } else if (command == "formats") {
            const QMimeData* data = board->mimeData();
            QStringList formats = data ? data->formats() : QStringList();
            // The one format Qt derives on reading when any image is offered,
            // and the selection's pseudo-targets, which carry no data.
            for (const char* notData : {"application/x-qt-image", "TARGETS", "MULTIPLE", "TIMESTAMP", "SAVE_TARGETS"})
                formats.removeAll(QLatin1String(notData));
            reply("formats " + formats.join(QLatin1Char(',')).toLatin1());
        } else if (command.startsWith("data ")) {
            const QMimeData* data = board->mimeData();
            reply("data " + (data ? data->data(QString::fromLatin1(command.mid(5))) : QByteArray()).toBase64());
        } else if (command == "owns") {
            reply(board->ownsClipboard() ? "owns yes" : "owns no");
        } else if (command == "clipboard") {
            const QMimeData* data = board->mimeData();
            reply("clipboard " + (data ? data->data(QStringLiteral("text/plain")) : QByteArray()).toBase64() + ' '
                + (data ? data->data(QStringLiteral("image/png")) : QByteArray()).toBase64());
        }
    });
    reply("ready 0");
    return app.exec();
}
