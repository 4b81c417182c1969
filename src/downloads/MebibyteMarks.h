#pragma once

#include <QtGlobal>

// Progress is reported once per full mebibyte received: these are the marks
// (1 MiB, 2 MiB, ...) passed when the count grows from `before` to `after`.
namespace MebibyteMarks {

inline constexpr qint64 mebibyte = 1 << 20;

template <typename Visit> void forEachPassed(qint64 before, qint64 after, Visit visit)
{
    for (qint64 mark = (before / mebibyte + 1) * mebibyte; mark <= after; mark += mebibyte)
        visit(mark);
}

} // namespace MebibyteMarks
