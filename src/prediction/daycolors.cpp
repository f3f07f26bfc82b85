#include "daycolors.h"

QString categoryCaption(DayCategory category)
{
    switch (category) {
    case DayCategory::ThisPeriod:
        return QStringLiteral("今回の生理");
    case DayCategory::NextPeriod:
        return QStringLiteral("次の生理");
    case DayCategory::UnlikelyDays:
        return QStringLiteral("妊娠しにくい日");
    case DayCategory::SemiUnlikelyDays:
        return QStringLiteral("準妊娠しにくい日");
    case DayCategory::SemiLikelyDays:
        return QStringLiteral("準妊娠しやすい日");
    case DayCategory::LikelyDays:
        return QStringLiteral("妊娠しやすい日");
    case DayCategory::None:
        break;
    }
    return {};
}
