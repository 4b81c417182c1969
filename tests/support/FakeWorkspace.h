#pragma once

#include "platform/Workspace.h"

#include <QList>

class FakeWorkspace final : public Workspace {
public:
    bool openURL(const QUrl& url) override
    {
        opened.append(url);
        return result;
    }

    bool canOpenURL(const QUrl& url) const override { return url.isValid() && !unavailable.contains(url); }

    QList<QUrl> opened;
    bool result = true;
    // Addresses with no program to open them on this pretend desktop.
    QList<QUrl> unavailable;
};
