#include "recording/WavFile.h"

#include <QFile>
#include <QTemporaryDir>
#include <QtEndian>

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <limits>
#include <vector>

namespace {

uint32_t u32(const QByteArray& bytes, int offset)
{
    return qFromLittleEndian<uint32_t>(bytes.constData() + offset);
}

uint16_t u16(const QByteArray& bytes, int offset)
{
    return qFromLittleEndian<uint16_t>(bytes.constData() + offset);
}

QByteArray readAll(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace

TEST(WavFile, HeaderDescribesMonoFloatAtTheGivenRateAndSamplesAreStoredBitForBit)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("one-second.wav");
    std::vector<float> samples(16000, 0.25f);
    samples[0] = 1.5f; // outside -1..1: no clipping
    samples[1] = -7.0f;
    samples[2] = std::numeric_limits<float>::denorm_min();
    samples[3] = -0.0f;
    QString error;
    ASSERT_TRUE(WavFile::write(path, samples, 16000.0, error)) << error.toStdString();

    const QByteArray bytes = readAll(path);
    ASSERT_EQ(bytes.size(), WavFile::headerSize + 16000 * 4);
    EXPECT_EQ(bytes.left(4), "RIFF");
    EXPECT_EQ(u32(bytes, 4), uint32_t(bytes.size() - 8));
    EXPECT_EQ(bytes.mid(8, 4), "WAVE");
    EXPECT_EQ(bytes.mid(12, 4), "fmt ");
    EXPECT_EQ(u32(bytes, 16), 18u);
    EXPECT_EQ(u16(bytes, 20), 3u); // IEEE float
    EXPECT_EQ(u16(bytes, 22), 1u); // mono
    EXPECT_EQ(u32(bytes, 24), 16000u);
    EXPECT_EQ(u32(bytes, 28), 64000u); // byte rate
    EXPECT_EQ(u16(bytes, 32), 4u); // block align
    EXPECT_EQ(u16(bytes, 34), 32u); // bits per sample
    EXPECT_EQ(u16(bytes, 36), 0u);
    EXPECT_EQ(bytes.mid(38, 4), "fact");
    EXPECT_EQ(u32(bytes, 42), 4u);
    EXPECT_EQ(u32(bytes, 46), 16000u); // frame count
    EXPECT_EQ(bytes.mid(50, 4), "data");
    EXPECT_EQ(u32(bytes, 54), 64000u);

    for (size_t i = 0; i < samples.size(); ++i) {
        const uint32_t stored = u32(bytes, int(WavFile::headerSize + 4 * i));
        ASSERT_EQ(stored, std::bit_cast<uint32_t>(samples[i])) << "sample " << i;
    }
}

TEST(WavFile, EmptyRecordingIsAValidFileWithNoFrames)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("empty.wav");
    QString error;
    ASSERT_TRUE(WavFile::write(path, {}, 16000.0, error));
    const QByteArray bytes = readAll(path);
    ASSERT_EQ(bytes.size(), WavFile::headerSize);
    EXPECT_EQ(u32(bytes, 4), uint32_t(WavFile::headerSize - 8));
    EXPECT_EQ(u32(bytes, 46), 0u);
    EXPECT_EQ(u32(bytes, 54), 0u);
}

TEST(WavFile, NeverReplacesAnExistingFile)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("taken.wav");
    {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("keep me");
    }
    QString error;
    EXPECT_FALSE(WavFile::write(path, std::vector<float>(10, 0.5f), 16000.0, error));
    EXPECT_FALSE(error.isEmpty());
    EXPECT_EQ(readAll(path), "keep me");
}

TEST(WavFile, RefusesWhatAWaveHeaderCannotHold)
{
    EXPECT_TRUE(WavFile::rejectionReason(16000, 16000.0).isEmpty());
    EXPECT_TRUE(WavFile::rejectionReason(WavFile::maxSampleCount, 48000.0).isEmpty());
    EXPECT_FALSE(WavFile::rejectionReason(WavFile::maxSampleCount + 1, 48000.0).isEmpty());
    // The largest accepted recording still has a RIFF size that fits 32 bits.
    EXPECT_LE(WavFile::maxSampleCount * 4 + (WavFile::headerSize - 8), 0xFFFFFFFFull);
    EXPECT_GT((WavFile::maxSampleCount + 1) * 4 + (WavFile::headerSize - 8), 0xFFFFFFFFull);

    for (double rate : {0.0, -16000.0, 0.2, std::nan(""), std::numeric_limits<double>::infinity(), 4e9})
        EXPECT_FALSE(WavFile::rejectionReason(10, rate).isEmpty()) << rate;

    QTemporaryDir dir;
    QString error;
    EXPECT_FALSE(WavFile::write(dir.filePath("zero-rate.wav"), std::vector<float>(10), 0.0, error));
    EXPECT_FALSE(QFile::exists(dir.filePath("zero-rate.wav")));
}

TEST(WavFile, FailsCleanlyWhenTheFolderIsMissing)
{
    QTemporaryDir dir;
    QString error;
    EXPECT_FALSE(WavFile::write(dir.filePath("missing/x.wav"), std::vector<float>(10), 16000.0, error));
    EXPECT_FALSE(error.isEmpty());
}
