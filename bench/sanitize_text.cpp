// Prints how long cleaning a transcription of the maximum length takes.
#include "core/input/TextInsertion.h"

#include <QCoreApplication>
#include <QElapsedTimer>

#include <cstdio>

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const QString sentence = QString::fromUtf8("Grüße, the café costs 4,50 € 👍🏽\u200B and more.\n");
    QString text;
    while (text.size() < 3 * AppConfig::maxTextLength)
        text += sentence;

    constexpr int rounds = 50;
    qsizetype kept = 0;
    QElapsedTimer clock;
    clock.start();
    for (int i = 0; i < rounds; ++i)
        kept += TextInsertion::sanitizeText(text).size();
    const double perCall = static_cast<double>(clock.nsecsElapsed()) / rounds / 1e6;
    std::printf("sanitizeText: %lld UTF-16 units in, %lld out, %.3f ms per call\n", static_cast<long long>(text.size()),
        static_cast<long long>(kept / rounds), perCall);
    return 0;
}
