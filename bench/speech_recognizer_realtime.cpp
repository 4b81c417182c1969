// Prints how fast the on-device recognizer decodes synthesized speech fed in
// 20 ms capture buffers at 48 kHz, as a fraction of real time.
#include "base/Dispatch.h"
#include "platform/sphinx/PocketSphinxRecognizer.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <cstdio>
#include <cstring>
#include <vector>

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QTemporaryDir dir;
    const QString wav = dir.filePath(QStringLiteral("speech.wav"));
    const QString raw = dir.filePath(QStringLiteral("speech.raw"));
    const QString text =
        QStringLiteral("the quick brown fox jumps over the lazy dog while the recorder keeps listening to every word "
                       "that is spoken into the microphone during a long dictation");
    if (QProcess::execute(QStringLiteral("espeak-ng"), {QStringLiteral("-w"), wav, text}) != 0
        || QProcess::execute(QStringLiteral("sox"),
               {wav, QStringLiteral("-t"), QStringLiteral("raw"), QStringLiteral("-e"),
                   QStringLiteral("floating-point"), QStringLiteral("-b"), QStringLiteral("32"), QStringLiteral("-r"),
                   QStringLiteral("48000"), QStringLiteral("-c"), QStringLiteral("1"), raw})
            != 0) {
        std::fprintf(stderr, "espeak-ng and sox are needed\n");
        return 1;
    }
    QFile file(raw);
    if (!file.open(QIODevice::ReadOnly))
        return 1;
    const QByteArray bytes = file.readAll();
    std::vector<float> samples(size_t(bytes.size()) / sizeof(float));
    std::memcpy(samples.data(), bytes.constData(), samples.size() * sizeof(float));
    const double audioSeconds = double(samples.size()) / 48000.0;

    auto recognizer = PocketSphinxRecognizer::forLocale(QLocale(QStringLiteral("en_US")));
    if (!recognizer) {
        std::fprintf(stderr, "no speech model installed\n");
        return 1;
    }
    for (int round = 0; round < 3; ++round) {
        Dispatch::Semaphore done;
        int partials = 0;
        QString finalText;
        QElapsedTimer timer;
        timer.start();
        auto task = recognizer->startTask([&](const std::optional<SpeechRecognizer::Result>& result,
                                              const std::optional<SpeechRecognizer::Error>& error) {
            if (error || (result && result->isFinal)) {
                if (result)
                    finalText = result->text;
                done.signal();
            } else {
                ++partials;
            }
        });
        QElapsedTimer feeding;
        feeding.start();
        for (size_t at = 0; at < samples.size(); at += 960)
            task->append(samples.data() + at, qsizetype(std::min<size_t>(960, samples.size() - at)), 48000, 1);
        const double feedMs = double(feeding.nsecsElapsed()) / 1e6;
        task->endAudio();
        done.wait();
        const double seconds = double(timer.nsecsElapsed()) / 1e9;
        std::printf("round %d%s: %.2f s of audio decoded in %.2f s (%.2fx real time), %d partials, "
                    "feeding took %.2f ms in total\n",
            round + 1, round == 0 ? " (model load included)" : "", audioSeconds, seconds, seconds / audioSeconds,
            partials, feedMs);
        if (round == 2)
            std::printf("final text: %s\n", finalText.toUtf8().constData());
    }
    return 0;
}
