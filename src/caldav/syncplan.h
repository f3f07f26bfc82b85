#pragma once

#include "caldavapi.h"

#include <QDate>
#include <QList>
#include <QString>

// What the program keeps in her calendar and what it takes from there, from the data folder's files.

// "-<id>@<application id>": the id names the data folder on this computer (its path and the machine's
// id), so that two programs of hers, on two computers or with two folders, never take each other's
// events for their own.
QString calendarUidSuffix(const QString &dataFolder);

// The events of the coming `cycles` periods counted from the newest first day, each with the
// 妊娠しやすい日 before it, titled as the calendar export titles them (discreet when the notice dialog
// says so), and with sendRecords the registered first days of the 12 months up to today
// ("生理 (記録)"). None without a first day. Throws AppError when the files cannot be read.
QList<PublishedEvent> publishedEvents(const QString &dataFolder, int cycles, bool sendRecords, const QDate &today,
                                      const QString &uidSuffix);

// Brings the marked days up to today home: those the import's merge would add (the ten-day rule against
// her first days and among themselves) go in after a backup of the data files, and nothing is deleted.
// Gives the events to publish from the records as they then stand.
ComeHomeResult comeHome(const QString &dataFolder, const QList<QDate> &markedDays, int cycles, bool sendRecords,
                        const QDate &today, const QString &uidSuffix);
