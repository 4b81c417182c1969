// Precompiled once for every test executable: the widget set, Qt Test and
// GoogleTest, which most test files include and which cost more to parse
// than the tests themselves take to compile.
#pragma once

#include "../../cmake/precompiled/widgets.h"

#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <gmock/gmock.h>
#include <gtest/gtest.h>
