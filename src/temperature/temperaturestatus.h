#pragma once

#include <QDate>
#include <QJsonObject>
#include <QJsonValue>
#include <QList>
#include <QString>

// The status line's `temperature` member for the current cycle: an object with
//   first_higher, ovulation, next_start  dates "yyyy-mm-dd"
//   cover_line, low_mean, high_mean       °C as numbers with two decimals
//   high_days                             days so far from the rise day
//   confirmed                             true once the shift of the current cycle is confirmed
// every member but `confirmed` null while nothing is confirmed; null when dateTemp.dat holds no reading.
// Throws EFileError when a file cannot be read.
QJsonValue temperatureStatusJson(const QString &datePath, const QString &tempPath, const QDate &today);

struct CycleTemperature;
// The object itself from her cycles (temperatureCycles over a file that holds readings).
QJsonObject temperatureStatusOf(const QList<CycleTemperature> &cycles);
