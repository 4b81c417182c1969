#pragma once

#include "core/speech/ModelManager.h"
#include "popover/PopoverHost.h"
#include "shell/theme/Motion.h"
#include "shell/theme/MotionTransaction.h"
#include "support/SettingsReset.h"

#include <QDir>
#include <QFile>

#include <gtest/gtest.h>

#include <vector>

// The controller as the popover sees it, recording what it was asked.
class FakePopoverHost final : public PopoverHost {
public:
    std::vector<bool> resizes;
    // The animation each resize was asked inside, if any.
    std::vector<std::optional<MotionCurve>> resizeCurves;
    int settingsOpened = 0;
    int studioStarts = 0;
    int studioStops = 0;
    bool capturing = false;
    RecordingMode mode = RecordingMode::pushToTalk;

    void resizePopoverPanel(bool expanded) override
    {
        resizes.push_back(expanded);
        resizeCurves.push_back(MotionTransaction::current());
    }
    void openSettings() override { ++settingsOpened; }
    void startStudioRecording() override
    {
        ++studioStarts;
        mode = RecordingMode::studio;
        capturing = true;
    }
    void stopStudioRecording() override
    {
        ++studioStops;
        capturing = false;
    }
    bool isCapturing() const override { return capturing; }
    RecordingMode recordingMode() const override { return mode; }
};

// An empty settings store and models folder around every test, animations
// jumping to their ends.
class PopoverTest : public DefaultsTest {
protected:
    void SetUp() override
    {
        DefaultsTest::SetUp();
        emptyModelsFolder();
        Motion::setDurationScale(0.0);
    }
    void TearDown() override
    {
        emptyModelsFolder();
        Motion::setDurationScale(1.0);
        DefaultsTest::TearDown();
    }

    static void emptyModelsFolder()
    {
        const QString folder = ModelManager::shared().modelsDirectory();
        QDir(folder).removeRecursively();
        QDir().mkpath(folder);
    }

    static void writeModelFile(WhisperModel model)
    {
        QFile file(ModelManager::shared().modelPath(model));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("model");
    }
};
