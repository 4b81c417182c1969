#pragma once

#include "platform/DesktopCompositor.h"

#include <QList>
#include <QPair>
#include <QRegion>
#include <QWindow>

// Answers what the test sets; counts the questions and keeps the blur
// requests.
class FakeDesktopCompositor final : public DesktopCompositor {
public:
    bool compositing = true;
    bool blurs = false;
    int queries = 0;
    QList<QPair<QWindow*, QRegion>> blurRequests;

    bool isCompositing() override
    {
        ++queries;
        return compositing;
    }

    bool blursBehindWindows() override { return compositing && blurs; }

    void setBlurBehind(QWindow* window, const QRegion& region) override { blurRequests.append({window, region}); }
};
