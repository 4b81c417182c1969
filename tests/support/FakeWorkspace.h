#pragma once

#include "platform/Workspace.h"

#include <QList>
#include <QStringList>

class FakeWorkspace final : public Workspace {
public:
    bool openURL(const QUrl& url) override
    {
        opened.append(url);
        return result;
    }

    bool canOpenURL(const QUrl& url) const override { return url.isValid() && !unavailable.contains(url); }
    bool revealFile(const QString& path) override
    {
        revealed.append(path);
        return result;
    }

    QList<QUrl> opened;
    QStringList revealed;
    bool result = true;
    // Addresses with no program to open them on this pretend desktop.
    QList<QUrl> unavailable;
};
