#pragma once

#include <QString>

#include <optional>

// A number typed into a field (a temperature, a weight): digits with at most one decimal point. Any
// decimal digit counts as its ASCII form and "．" as ".", as an input method may give them.
struct TypedDecimal
{
    QString digits;       // ASCII digits, the point left out
    qsizetype point = -1; // how many digits stand before the point; -1 without one
};

// The trimmed text split so; none when it holds anything else or a second point.
std::optional<TypedDecimal> splitTypedDecimal(const QString &text);
