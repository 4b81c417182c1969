#pragma once

#include "support/UnsharedCopy.h"

#include <QStringList>
#include <QtGlobal>

#include <mutex>

// Collects Qt's own warnings and messages while it lives, on top of the
// handler that was installed before. One at a time.
class QtMessageCapture {
public:
    QtMessageCapture() { previous = qInstallMessageHandler(&QtMessageCapture::handle); }
    ~QtMessageCapture() { qInstallMessageHandler(previous); }
    QtMessageCapture(const QtMessageCapture&) = delete;
    QtMessageCapture& operator=(const QtMessageCapture&) = delete;

    static QStringList messages()
    {
        std::lock_guard lock(mutex());
        return unsharedCopy(collected());
    }

private:
    static void handle(QtMsgType type, const QMessageLogContext& context, const QString& text)
    {
        {
            std::lock_guard lock(mutex());
            collected().append(text);
        }
        if (previous)
            previous(type, context, text);
    }
    static std::mutex& mutex()
    {
        static std::mutex lock;
        return lock;
    }
    static QStringList& collected()
    {
        static QStringList lines;
        return lines;
    }
    static inline QtMessageHandler previous = nullptr;
};
