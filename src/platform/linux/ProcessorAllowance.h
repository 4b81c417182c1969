#pragma once

#include <QByteArray>
#include <QString>

#include <functional>
#include <optional>

// How many processors this process may actually keep busy: the processors
// its affinity mask lets it run on, lowered by a CPU quota of its control
// group where one is set (a container's limit, systemd's CPUQuota). On an
// unconfined machine that is every processor. Read from the kernel, so it
// lives with the backends; the composition root hands it to the whisper
// bridge.
namespace ProcessorAllowance {

// Processors a cgroup v2 "cpu.max" line allows ("200000 100000" -> 2,
// "150000 100000" -> 2); nothing for "max" or text that is not a quota.
std::optional<int> fromCpuMax(const QByteArray& cpuMax);
// The same for cgroup v1's "cpu.cfs_quota_us" and "cpu.cfs_period_us";
// nothing for -1 (no quota).
std::optional<int> fromCfsQuota(const QByteArray& quota, const QByteArray& period);

// The quota that applies to a process whose "/proc/self/cgroup" reads
// `membership`: the smallest along its group's path up to the root.
// `readFile` answers a file's bytes, or nothing when it cannot be read.
std::optional<int> quotaFor(const QByteArray& membership, const QString& cgroupRoot,
    const std::function<std::optional<QByteArray>(const QString& path)>& readFile);

// The processors of the affinity mask, lowered by the quota; at least 1.
int current();

} // namespace ProcessorAllowance
