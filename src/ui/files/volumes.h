#pragma once

#include <QByteArray>
#include <QString>
#include <string>
#include <vector>

// The drives the drive selector offers: the mounted file systems.

namespace ziv {

// Mounted file systems worth offering as drives: not the kernel's pseudo
// file systems (proc, sysfs, cgroup, ...) nor anything mounted below
// /proc, /sys, /dev or /run (removable media under /run/media excepted).
bool IsBrowsableVolume(const QString& mountPoint, const QByteArray& fileSystemType);

struct TVolume {
    std::string Root;  // mount point
    QString Caption;   // as listed
};
// The browsable mounted file systems, the root "/" first.
std::vector<TVolume> BrowsableVolumes();

}  // namespace ziv
