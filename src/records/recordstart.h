#pragma once

#include <QDate>
#include <QString>

// Registering a first day from outside the window (the command line, a notification, the launcher's
// action): the rules of 生理登録 plus the ten-day rule, so that a click on "今日始まった" on the second day
// of a period that is already registered changes nothing.

enum class RecordStartOutcome {
    Registered,
    AlreadyRegistered, // the day is a registered first day
    SamePeriod,        // within TenDayRuleDays of a registered first day (samePeriodFirstDay)
    Future,            // after today: refused
};

struct RecordStartResult
{
    RecordStartOutcome outcome = RecordStartOutcome::Registered;
    QDate day;
    QDate periodFirstDay; // SamePeriod: the registered first day the day belongs to
};

// Adds `day` to date.dat unless one of the outcomes above forbids it, all under the data lock (the
// day's backup is made by the write itself). Throws EFileError or EConvertError as the file does.
RecordStartResult recordPeriodStart(const QString &datePath, const QDate &day, const QDate &today);

// The one line she reads: "2026/12/07 を生理開始日として登録しました", or why nothing changed.
QString recordStartText(const RecordStartResult &result);
