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

    bool revealFile(const QString& path) override
    {
        revealed.append(path);
        return result;
    }

    QList<QUrl> opened;
    QStringList revealed;
    bool result = true;
};
