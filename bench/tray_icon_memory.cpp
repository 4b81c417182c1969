// Prints the memory the tray icon holds as the dictation state changes: the
// tool's own tray icon and status item, the icon changed the way dictations
// change it (recording, transcribing, idle), resident memory and heap in use
// after 10, 100 and 1,000 changes. A picture made anew at each change fills
// Qt's pixmap cache (10 MB) over a day's dictations; made once, the figures
// stay where they were after 10.
#include "../tools/gallery/IdleShellHost.h"
#include "ProcessMemory.h"
#include "platform/qt/QtTrayIcon.h"
#include "shell/tray/StatusItem.h"

#include <QApplication>

#include <cstdio>
#include <malloc.h>
#include <memory>

namespace {

void settle()
{
    for (int i = 0; i < 5; ++i) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
}

double heapInUseMiB()
{
    return static_cast<double>(mallinfo2().uordblks) / (1024.0 * 1024.0);
}

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") && qEnvironmentVariableIsEmpty("DISPLAY"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    IdleShellHost shell;
    auto tray = std::make_shared<QtTrayIcon>();
    StatusItem item(tray, shell);
    const char* states[] = {"mic.circle.fill", "mic.badge.ellipsis", "mic.circle"};

    std::printf("state changes  resident (KiB)  heap in use (MiB)\n");
    qint64 afterTen = 0;
    int changes = 0;
    for (int mark : {10, 100, 1'000}) {
        for (; changes < mark; ++changes) {
            item.setSymbolName(QString::fromLatin1(states[changes % 3]));
            settle();
        }
        const qint64 resident = statusKiB("VmRSS:");
        if (mark == 10)
            afterTen = resident;
        std::printf("%13d  %14lld  %17.1f\n", mark, static_cast<long long>(resident), heapInUseMiB());
        if (mark == 100)
            std::printf(
                "growth from 10 to 100: %lld KiB (target: under 1024)\n", static_cast<long long>(resident - afterTen));
    }
    return 0;
}
