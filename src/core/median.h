#pragma once

#include <QList>

#include <algorithm>

// The middle value of a non-empty list, or the mean of the two middle ones when the count is even: the
// typical value of lengths in days, which one odd value moves little.
inline double medianOf(QList<int> values)
{
    std::sort(values.begin(), values.end());
    const qsizetype n = values.size();
    return n % 2 == 1 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2.0;
}
