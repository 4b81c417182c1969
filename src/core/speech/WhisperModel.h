#pragma once

#include <QHashFunctions>
#include <QList>
#include <QString>
#include <QVariant>

#include <cstddef>
#include <functional>
#include <optional>

// The catalogue of speech models the application can download and run. A
// value names one catalogue entry; its identifier is the raw value that is
// stored in settings and spelled into file names and download addresses.
class WhisperModel {
public:
    enum Case { largeV3TurboQ5, largeV3TurboQ8, largeV3Turbo, largeV3 };

    constexpr WhisperModel(Case value) : modelCase(value) { }

    // Exact, case-sensitive match of a catalogue identifier.
    static std::optional<WhisperModel> fromRawValue(const QString& identifier);
    // The model a variant holds as a value; none for anything else, an
    // identifier string included.
    static std::optional<WhisperModel> fromVariant(const QVariant& value);
    QVariant toVariant() const { return QVariant::fromValue(*this); }

    // Declaration order; the recommended and by-size orders are the same.
    static QList<WhisperModel> allCases();
    static QList<WhisperModel> allCasesRecommendedOrder();
    static QList<WhisperModel> allCasesSortedBySize();

    constexpr Case value() const { return modelCase; }
    QString rawValue() const;
    QString displayName() const;
    QString estimatedSize() const;
    QString estimatedSizeString() const { return estimatedSize(); }
    QString description() const;
    bool isEnglishOnly() const { return false; }
    // "ggml-<identifier>.bin": the name inside the models folder and the last
    // segment of the download address.
    QString fileName() const;
    QString downloadURL() const;

    friend constexpr bool operator==(WhisperModel a, WhisperModel b) { return a.modelCase == b.modelCase; }

private:
    int sizeInMB() const;

    Case modelCase;
};

inline size_t qHash(WhisperModel model, size_t seed = 0) noexcept
{
    return qHash(model.rawValue(), seed);
}

template <> struct std::hash<WhisperModel> {
    size_t operator()(WhisperModel model) const noexcept { return qHash(model); }
};
