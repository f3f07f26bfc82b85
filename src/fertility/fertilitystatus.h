#pragma once

#include "dayrecordfile.h"
#include "fertilephase.h"

#include <QDate>
#include <QJsonValue>
#include <QList>
#include <QString>

// The phase of the cycle that holds `today` among the cycles of fertileCycles, or nothing.
const FertilityResult *cycleOfDay(const QList<FertilityResult> &cycles, const QDate &today);

// The status line's `fertility` member for today: an object with
//   phase          "pre", "fertile", "post", or null when neither this cycle nor the previous one holds a
//                  reading, a mucus observation or an ovulation test
//   fertile_from   the first fertile day (while pre-fertile: the day after the pre-fertile days)
//   fertile_until  the day on whose evening the fertile phase ended; null while open
//   mucus_peak     the mucus peak found so far
//   lh_positive    the first positive ovulation test of the cycle
//   signs          which of "mucus", "lh", "temperature" decided the phase
// dates "yyyy-mm-dd", members null when unknown. Null when no registered cycle holds today.
QJsonValue fertilityJson(const QList<FertilityResult> &cycles, const QDate &today);

// The same from date.dat, dateTemp.dat and her day records (ascending). Throws EFileError when a file
// cannot be read.
QJsonValue fertilityStatusJson(const QString &datePath, const QString &tempPath, const QList<DayRecord> &records,
                               const QDate &today);

// The status line's `temperature` and `fertility` members from one read of date.dat and dateTemp.dat.
struct BodyStatus
{
    QJsonValue temperature; // as temperatureStatusJson
    QJsonValue fertility;   // as fertilityStatusJson
};
BodyStatus bodyStatusJson(const QString &datePath, const QString &tempPath, const QList<DayRecord> &records,
                          const QDate &today);

// The phases of every cycle from the files, oldest first.
QList<FertilityResult> readFertileCycles(const QString &datePath, const QString &tempPath,
                                         const QList<DayRecord> &records, const QDate &today);
