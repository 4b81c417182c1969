#include "platform/linux/ProcessorAllowance.h"

#include <QFile>
#include <QList>

#include <sched.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>

namespace ProcessorAllowance {
namespace {

std::optional<int> processorsFor(double quota, double period)
{
    if (!(quota > 0) || !(period > 0))
        return std::nullopt;
    // Part of a processor still needs one thread.
    return static_cast<int>(std::max(1.0, std::ceil(quota / period)));
}

std::optional<double> number(const QByteArray& text)
{
    bool ok = false;
    const double value = text.trimmed().toDouble(&ok);
    return ok && std::isfinite(value) ? std::optional<double>(value) : std::nullopt;
}

std::optional<int> smaller(std::optional<int> a, std::optional<int> b)
{
    if (a && b)
        return std::min(*a, *b);
    return a ? a : b;
}

std::optional<QByteArray> readWhole(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    return file.readAll();
}

// "/a/b" -> {"/a/b", "/a", ""}: the group and every group above it.
QList<QByteArray> groupAndAncestors(QByteArray path)
{
    QList<QByteArray> groups;
    while (path.endsWith('/'))
        path.chop(1);
    for (;;) {
        groups.append(path);
        const qsizetype slash = path.lastIndexOf('/');
        if (slash < 0 || path.isEmpty())
            break;
        path.truncate(slash);
    }
    return groups;
}

} // namespace

std::optional<int> fromCpuMax(const QByteArray& cpuMax)
{
    const QList<QByteArray> fields = cpuMax.simplified().split(' ');
    if (fields.isEmpty() || fields.first() == "max")
        return std::nullopt;
    const std::optional<double> quota = number(fields.first());
    const std::optional<double> period = fields.size() > 1 ? number(fields.at(1)) : 100000.0;
    if (!quota || !period)
        return std::nullopt;
    return processorsFor(*quota, *period);
}

std::optional<int> fromCfsQuota(const QByteArray& quota, const QByteArray& period)
{
    const std::optional<double> q = number(quota);
    const std::optional<double> p = number(period);
    if (!q || !p)
        return std::nullopt;
    return processorsFor(*q, *p);
}

std::optional<int> quotaFor(const QByteArray& membership, const QString& cgroupRoot,
    const std::function<std::optional<QByteArray>(const QString& path)>& readFile)
{
    std::optional<int> allowed;
    for (const QByteArray& line : membership.split('\n')) {
        // "hierarchy-id:controllers:path"; the path may hold colons.
        const qsizetype first = line.indexOf(':');
        const qsizetype second = first < 0 ? -1 : line.indexOf(':', first + 1);
        if (second < 0)
            continue;
        const QByteArray controllers = line.mid(first + 1, second - first - 1);
        const QByteArray path = line.mid(second + 1).trimmed();
        if (controllers.isEmpty()) {
            for (const QByteArray& group : groupAndAncestors(path)) {
                const QString folder = cgroupRoot + QString::fromUtf8(group);
                if (const std::optional<QByteArray> cpuMax = readFile(folder + QStringLiteral("/cpu.max")))
                    allowed = smaller(allowed, fromCpuMax(*cpuMax));
            }
        } else if (controllers.split(',').contains("cpu")) {
            const QString mount = cgroupRoot + QLatin1Char('/') + QString::fromUtf8(controllers);
            for (const QByteArray& group : groupAndAncestors(path)) {
                const QString folder = mount + QString::fromUtf8(group);
                const std::optional<QByteArray> quota = readFile(folder + QStringLiteral("/cpu.cfs_quota_us"));
                const std::optional<QByteArray> period = readFile(folder + QStringLiteral("/cpu.cfs_period_us"));
                if (quota && period)
                    allowed = smaller(allowed, fromCfsQuota(*quota, *period));
            }
        }
    }
    return allowed;
}

int current()
{
    int processors = 0;
    cpu_set_t mask;
    CPU_ZERO(&mask);
    if (sched_getaffinity(0, sizeof(mask), &mask) == 0)
        processors = CPU_COUNT(&mask);
    if (processors <= 0) {
        const long online = sysconf(_SC_NPROCESSORS_ONLN);
        processors = online > 0 ? static_cast<int>(online) : 1;
    }
    if (const std::optional<QByteArray> membership = readWhole(QStringLiteral("/proc/self/cgroup"))) {
        if (const std::optional<int> quota = quotaFor(*membership, QStringLiteral("/sys/fs/cgroup"), readWhole))
            processors = std::min(processors, *quota);
    }
    return std::max(processors, 1);
}

} // namespace ProcessorAllowance
