#pragma once

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QThread>

#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>

#include <functional>

// Types on the test display through XTest, on a connection of its own, like
// the user's keyboard would.
class XTestKeyboard {
public:
    XTestKeyboard() : display_(XOpenDisplay(nullptr)) {}
    ~XTestKeyboard()
    {
        if (display_)
            XCloseDisplay(display_);
    }
    XTestKeyboard(const XTestKeyboard&) = delete;
    XTestKeyboard& operator=(const XTestKeyboard&) = delete;

    bool isOpen() const { return display_ != nullptr; }
    Display* display() const { return display_; }

    void press(KeySym keysym) { send(keysym, True); }
    void release(KeySym keysym) { send(keysym, False); }
    void tap(KeySym keysym)
    {
        press(keysym);
        release(keysym);
    }

private:
    void send(KeySym keysym, Bool down)
    {
        XTestFakeKeyEvent(display_, XKeysymToKeycode(display_, keysym), down, CurrentTime);
        XSync(display_, False);
    }

    Display* display_;
};

// Runs the Qt event loop until `done` holds or the limit passes.
inline bool pumpUntil(const std::function<bool()>& done, int limitMs = 5000)
{
    QElapsedTimer timer;
    timer.start();
    while (!done()) {
        if (timer.elapsed() > limitMs)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        QThread::msleep(5);
    }
    return true;
}

inline void pumpFor(int ms)
{
    QElapsedTimer timer;
    timer.start();
    while (timer.elapsed() < ms) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        QThread::msleep(5);
    }
}

// The keystroke recorder tool in its own process, focused.
class KeystrokeRecorder {
public:
    bool start()
    {
        process_.setProgram(QCoreApplication::applicationDirPath() + "/keystroke_recorder");
        process_.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        process_.start();
        if (!process_.waitForStarted(5000))
            return false;
        return pumpUntil([this] { return lines().contains("ready"); }, 10000);
    }
    ~KeystrokeRecorder()
    {
        process_.kill();
        process_.waitForFinished(2000);
    }
    QStringList lines()
    {
        output_ += QString::fromUtf8(process_.readAllStandardOutput());
        return output_.split('\n', Qt::SkipEmptyParts);
    }
    bool saw(const QString& line) { return lines().contains(line); }

private:
    QProcess process_;
    QString output_;
};
