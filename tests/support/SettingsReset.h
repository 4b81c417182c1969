#pragma once

#include "base/Defaults.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <gtest/gtest.h>

// Test fixture base that starts every test with an empty defaults store.
class DefaultsTest : public ::testing::Test {
protected:
    void SetUp() override { clearDefaults(); }
    void TearDown() override { clearDefaults(); }
    static void clearDefaults()
    {
        auto settings = Defaults::open();
        settings->clear();
        settings->sync();
    }
};

// A file where the settings folder belongs while it lives: every write of
// the store fails, and the store keeps what it could not write.
class UnwritableSettings {
public:
    UnwritableSettings() : folder(QFileInfo(Defaults::open()->fileName()).absolutePath())
    {
        QDir().mkpath(folder);
        QDir().rename(folder, folder + QStringLiteral(".away"));
        QFile blocker(folder);
        blocker.open(QIODevice::WriteOnly);
    }
    ~UnwritableSettings()
    {
        QFile::remove(folder);
        QDir().rename(folder + QStringLiteral(".away"), folder);
    }
    UnwritableSettings(const UnwritableSettings&) = delete;
    UnwritableSettings& operator=(const UnwritableSettings&) = delete;

private:
    QString folder;
};
