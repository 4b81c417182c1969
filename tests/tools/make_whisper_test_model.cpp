// Writes a whisper model file with random weights for tests and benchmarks:
//   make_whisper_test_model OUTPUT [--shape micro|tiny] [--type f32|f16|q5_0|q8_0] [--seed N]
#include "support/WhisperTestModel.h"

#include <QCommandLineParser>
#include <QCoreApplication>

#include <cstdio>

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QCommandLineParser parser;
    parser.setApplicationDescription("Writes a whisper model file with random weights.");
    parser.addHelpOption();
    parser.addPositionalArgument("output", "Path of the model file to write.");
    const QCommandLineOption shapeOption("shape", "micro or tiny.", "shape", "micro");
    const QCommandLineOption typeOption("type", "f32, f16, q5_0 or q8_0.", "type", "f16");
    const QCommandLineOption seedOption("seed", "Seed of the random weights.", "seed", "1");
    parser.addOptions({shapeOption, typeOption, seedOption});
    parser.process(app);

    const QStringList positional = parser.positionalArguments();
    if (positional.size() != 1)
        parser.showHelp(2);

    const QString shapeName = parser.value(shapeOption);
    if (shapeName != "micro" && shapeName != "tiny") {
        std::fprintf(stderr, "unknown shape: %s\n", qPrintable(shapeName));
        return 2;
    }
    WhisperTestModel::WeightType type;
    if (!WhisperTestModel::parseWeightType(parser.value(typeOption), &type)) {
        std::fprintf(stderr, "unknown type: %s\n", qPrintable(parser.value(typeOption)));
        return 2;
    }
    bool seedOk = false;
    const uint seed = parser.value(seedOption).toUInt(&seedOk);
    if (!seedOk) {
        std::fprintf(stderr, "bad seed\n");
        return 2;
    }

    const auto shape = shapeName == "tiny" ? WhisperTestModel::Shape::tiny() : WhisperTestModel::Shape::micro();
    if (!WhisperTestModel::write(positional.first(), shape, type, seed)) {
        std::fprintf(stderr, "could not write %s\n", qPrintable(positional.first()));
        return 1;
    }
    return 0;
}
