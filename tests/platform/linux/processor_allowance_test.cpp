#include "platform/linux/ProcessorAllowance.h"

#include <QHash>

#include <sched.h>

#include <gtest/gtest.h>

namespace {

TEST(ProcessorAllowance, QuotaLinesGiveWholeProcessorsRoundedUp)
{
    EXPECT_EQ(ProcessorAllowance::fromCpuMax("200000 100000\n"), 2);
    EXPECT_EQ(ProcessorAllowance::fromCpuMax("150000 100000"), 2);
    EXPECT_EQ(ProcessorAllowance::fromCpuMax("5000 100000"), 1);
    EXPECT_EQ(ProcessorAllowance::fromCpuMax("max 100000"), std::nullopt);
    EXPECT_EQ(ProcessorAllowance::fromCpuMax(""), std::nullopt);
    EXPECT_EQ(ProcessorAllowance::fromCpuMax("garbage 100000"), std::nullopt);
    EXPECT_EQ(ProcessorAllowance::fromCpuMax("0 100000"), std::nullopt);

    EXPECT_EQ(ProcessorAllowance::fromCfsQuota("-1\n", "100000\n"), std::nullopt);
    EXPECT_EQ(ProcessorAllowance::fromCfsQuota("300000", "100000"), 3);
    EXPECT_EQ(ProcessorAllowance::fromCfsQuota("50000", "0"), std::nullopt);
}

// A fake /sys/fs/cgroup: path -> contents.
auto filesOf(const QHash<QString, QByteArray>& files)
{
    return [files](const QString& path) -> std::optional<QByteArray> {
        const auto found = files.constFind(path);
        return found == files.cend() ? std::nullopt : std::optional<QByteArray>(*found);
    };
}

TEST(ProcessorAllowance, TheTightestQuotaOnTheGroupsPathApplies)
{
    // cgroup v2: a parent's quota binds its children.
    const auto v2 = filesOf({{"/cg/cpu.max", "max 100000"}, {"/cg/user.slice/cpu.max", "200000 100000"},
        {"/cg/user.slice/app.scope/cpu.max", "max 100000"}});
    EXPECT_EQ(ProcessorAllowance::quotaFor("0::/user.slice/app.scope\n", "/cg", v2), 2);
    EXPECT_EQ(ProcessorAllowance::quotaFor("0::/\n", "/cg", v2), std::nullopt);

    // cgroup v1, controllers sharing one hierarchy.
    const auto v1 = filesOf(
        {{"/cg/cpu,cpuacct/docker/cpu.cfs_quota_us", "150000"}, {"/cg/cpu,cpuacct/docker/cpu.cfs_period_us", "100000"},
            {"/cg/cpu,cpuacct/cpu.cfs_quota_us", "-1"}, {"/cg/cpu,cpuacct/cpu.cfs_period_us", "100000"}});
    EXPECT_EQ(ProcessorAllowance::quotaFor("4:memory:/docker\n3:cpu,cpuacct:/docker\n", "/cg", v1), 2);
    // Unreadable files and lines that are not memberships set no quota.
    EXPECT_EQ(ProcessorAllowance::quotaFor("nonsense\n3:cpuset:/x\n", "/cg", v1), std::nullopt);
}

TEST(ProcessorAllowance, NeverMoreThanTheAffinityMaskAllowsAndAtLeastOne)
{
    cpu_set_t mask;
    CPU_ZERO(&mask);
    ASSERT_EQ(sched_getaffinity(0, sizeof(mask), &mask), 0);
    const int allowed = ProcessorAllowance::current();
    EXPECT_GE(allowed, 1);
    EXPECT_LE(allowed, CPU_COUNT(&mask));

    // Confined to one processor, one is what it reports.
    cpu_set_t one;
    CPU_ZERO(&one);
    for (int cpu = 0; cpu < CPU_SETSIZE; ++cpu) {
        if (CPU_ISSET(cpu, &mask)) {
            CPU_SET(cpu, &one);
            break;
        }
    }
    ASSERT_EQ(sched_setaffinity(0, sizeof(one), &one), 0);
    EXPECT_EQ(ProcessorAllowance::current(), 1);
    sched_setaffinity(0, sizeof(mask), &mask);
}

} // namespace
