#pragma once

#include <QString>
#include <QtGlobal>

// The six day categories of one predicted cycle, in the order in which a day is tested against their
// windows: a later category overrides an earlier one where windows overlap.
enum class DayCategory {
    None,
    ThisPeriod,
    NextPeriod,
    UnlikelyDays,
    SemiUnlikelyDays,
    SemiLikelyDays,
    LikelyDays,
};

inline constexpr int DayCategoryCount = 6; // ThisPeriod..LikelyDays

// Cell colours as 24-bit numbers: red in the lowest byte, green in the middle, blue in the highest
// (number = red + 256 * green + 65536 * blue). The month grid and its legend use exactly these.
namespace CellColor {
inline constexpr quint32 NoCategory = 13160660;       // 212, 208, 200: outside the month or in no window
inline constexpr quint32 ThisPeriod = 11927477;       // 181, 255, 181
inline constexpr quint32 NextPeriod = 15780518;       // 166, 202, 240
inline constexpr quint32 UnlikelyDays = 16777145;     // 185, 255, 255
inline constexpr quint32 SemiUnlikelyDays = 11927551; // 255, 255, 181
inline constexpr quint32 SemiLikelyDays = 14277119;   // 255, 217, 217
inline constexpr quint32 LikelyDays = 12615935;       // 255, 128, 192
inline constexpr quint32 TodayMark = 16744576;        // 128, 128, 255
inline constexpr quint32 MemoMark = 4227327;          // 255, 128, 64
} // namespace CellColor

constexpr quint32 categoryColor(DayCategory category)
{
    switch (category) {
    case DayCategory::ThisPeriod:
        return CellColor::ThisPeriod;
    case DayCategory::NextPeriod:
        return CellColor::NextPeriod;
    case DayCategory::UnlikelyDays:
        return CellColor::UnlikelyDays;
    case DayCategory::SemiUnlikelyDays:
        return CellColor::SemiUnlikelyDays;
    case DayCategory::SemiLikelyDays:
        return CellColor::SemiLikelyDays;
    case DayCategory::LikelyDays:
        return CellColor::LikelyDays;
    case DayCategory::None:
        break;
    }
    return CellColor::NoCategory;
}

// The caption of a category on the legend and in the mailed prediction; empty for None.
QString categoryCaption(DayCategory category);

struct RgbTriple
{
    int red;
    int green;
    int blue;
    friend constexpr bool operator==(const RgbTriple &, const RgbTriple &) = default;
};

constexpr RgbTriple colorToRgb(quint32 color)
{
    return {int(color & 0xFFu), int((color >> 8) & 0xFFu), int((color >> 16) & 0xFFu)};
}

// The same colour as an opaque 0xAARRGGBB value, the layout of QRgb (usable as QColor::fromRgb(value)).
constexpr quint32 colorToArgb(quint32 color)
{
    const RgbTriple rgb = colorToRgb(color);
    return 0xFF000000u | (quint32(rgb.red) << 16) | (quint32(rgb.green) << 8) | quint32(rgb.blue);
}
