// Time of the model-file check on a file of the published large-v3-turbo
// shapes (1.6 GB in f16, written sparse: only headers and tensor records are
// real). The check must stay well under 50 ms. Run by hand; prints figures.
#include "core/speech/WhisperModelFile.h"
#include "support/WhisperTestModel.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <vector>

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QTemporaryDir folder;
    const QString path = QDir(folder.path()).filePath(QStringLiteral("ggml-large-v3-turbo.bin"));
    if (!WhisperTestModel::writeSparse(
            path, WhisperTestModel::Shape::largeTurbo(), WhisperTestModel::WeightType::F16)) {
        std::fprintf(stderr, "could not write %s\n", qPrintable(path));
        return 1;
    }

    constexpr int runs = 21;
    std::vector<double> milliseconds;
    bool sound = true;
    for (int i = 0; i < runs; ++i) {
        const auto start = std::chrono::steady_clock::now();
        sound = sound && !whisperModelFileProblem(path).has_value();
        milliseconds.push_back(
            std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count());
    }
    const double first = milliseconds.front();
    std::sort(milliseconds.begin(), milliseconds.end());
    std::printf("model file check, %.2f GB file (%s): first %.2f ms, median %.2f ms, worst %.2f ms over %d runs\n",
        static_cast<double>(QFileInfo(path).size()) / 1e9, sound ? "accepted" : "REFUSED", first,
        milliseconds[runs / 2], milliseconds.back(), runs);
    return sound ? 0 : 1;
}
