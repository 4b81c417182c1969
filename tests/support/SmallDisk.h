#pragma once

#include <QString>

// A tmpfs of a few pages mounted over a folder while it lives, so a test can
// fill a disk for real. Mounting needs the right to (CI runs as root);
// mounted() says whether it worked, and a test without it skips.
class SmallDisk {
public:
    SmallDisk(const QString& folder, qint64 bytes);
    ~SmallDisk();
    SmallDisk(const SmallDisk&) = delete;
    SmallDisk& operator=(const SmallDisk&) = delete;

    bool mounted() const { return isMounted; }
    // Takes every free byte with one file; freeSpace() gives them back.
    void fill();
    void freeSpace();

private:
    QString mountPoint;
    QString filler;
    bool isMounted = false;
};
