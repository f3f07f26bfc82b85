#include "recordstart.h"

#include "datetext.h"
#include "firstdayrule.h"
#include "linefile.h"
#include "periodfile.h"

RecordStartResult recordPeriodStart(const QString &datePath, const QDate &day, const QDate &today)
{
    if (day > today) {
        return {RecordStartOutcome::Future, day, {}};
    }
    // Held from reading the first days to writing the new one; AddPeriodStart takes it once more.
    const auto lock = LineFile::lockForUpdate(datePath);
    const QDate same = samePeriodFirstDay(readFirstDaysAscending(datePath), day);
    if (same == day) {
        return {RecordStartOutcome::AlreadyRegistered, day, same};
    }
    if (same.isValid()) {
        return {RecordStartOutcome::SamePeriod, day, same};
    }
    if (AddPeriodStart(datePath, day) == AddResult::AlreadyRegistered) {
        return {RecordStartOutcome::AlreadyRegistered, day, day};
    }
    return {RecordStartOutcome::Registered, day, day};
}

QString recordStartText(const RecordStartResult &result)
{
    const QString day = formatDateText(result.day);
    switch (result.outcome) {
    case RecordStartOutcome::Registered:
        return QStringLiteral("%1 を生理開始日として登録しました").arg(day);
    case RecordStartOutcome::AlreadyRegistered:
        return QStringLiteral("%1 は既に登録されています").arg(day);
    case RecordStartOutcome::SamePeriod:
        return QStringLiteral("%1 は登録済みの %2 から%3日以内なので、同じ生理として登録しませんでした")
            .arg(day, formatDateText(result.periodFirstDay))
            .arg(TenDayRuleDays);
    case RecordStartOutcome::Future:
        return QStringLiteral("%1 はまだ来ていない日なので、登録できません").arg(day);
    }
    return {};
}
