// A window of another process for the hotkey tests: prints "ready" once it
// has the keyboard focus and then one line per key press or release it
// receives ("press 87", "release 87": Qt key codes, auto-repeats marked),
// and after a press of any other key than a modifier the combination it made
// with the modifiers in force ("chord Ctrl+Shift+V").
#include <QApplication>
#include <QKeyEvent>
#include <QKeySequence>
#include <QTimer>
#include <QWidget>

#include <cstdio>

namespace {

class Recorder : public QWidget {
protected:
    void keyPressEvent(QKeyEvent* event) override
    {
        print("press", event);
        if (!isModifier(event->key())) {
            const QKeySequence combination(event->keyCombination());
            std::printf("chord %s\n", qPrintable(combination.toString(QKeySequence::PortableText)));
            std::fflush(stdout);
        }
    }
    void keyReleaseEvent(QKeyEvent* event) override { print("release", event); }

private:
    static bool isModifier(int key)
    {
        return key == Qt::Key_Shift || key == Qt::Key_Control || key == Qt::Key_Alt || key == Qt::Key_Meta
            || key == Qt::Key_AltGr || key == Qt::Key_CapsLock || key == Qt::Key_NumLock;
    }

    static void print(const char* what, QKeyEvent* event)
    {
        std::printf("%s %d%s\n", what, event->key(), event->isAutoRepeat() ? " repeat" : "");
        std::fflush(stdout);
    }
};

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    Recorder window;
    window.setWindowTitle(QStringLiteral("keystroke-recorder"));
    window.resize(300, 200);
    window.show();
    window.activateWindow();

    QTimer waitForFocus;
    QObject::connect(&waitForFocus, &QTimer::timeout, [&] {
        if (!window.isActiveWindow()) {
            window.activateWindow();
            return;
        }
        waitForFocus.stop();
        std::printf("ready\n");
        std::fflush(stdout);
    });
    waitForFocus.start(50);
    return app.exec();
}
