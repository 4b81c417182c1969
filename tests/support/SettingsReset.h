#pragma once

#include "base/Defaults.h"

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
