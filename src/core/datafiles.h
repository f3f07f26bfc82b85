#pragma once

#include <QLatin1String>
#include <QString>

// Every file of hers in the data folder, once. The folder rules, the backups, restore, the export, the
// import and the clean-up of unfinished saves all go through this list, so a file that joins it is
// guarded, backed up and cleaned up the day it joins.

enum class DataKind {
    FirstDays,  // the first days of her periods, newest first
    Memos,      // a free text per day
    Readings,   // the basal body temperature, one reading per day
    DayRecords, // flow, pain, mucus and the other observations of a day
    Settings,   // the cycle mode, the reminder, the mail account
};

struct DataFile
{
    const char *name;
    DataKind kind;
    bool backedUp; // copied into backup/ before the day's first change, and put back by a restore
    bool exported; // a member of the full export
};

// In the order they are backed up, restored and exported.
inline constexpr DataFile DataFiles[] = {
    {"date.dat", DataKind::FirstDays, true, true},    {"dateMemo.dat", DataKind::Memos, true, true},
    {"dateTemp.dat", DataKind::Readings, true, true}, {"dateDay.dat", DataKind::DayRecords, true, true},
    {"setting.ini", DataKind::Settings, true, true},
};

inline QString dataFileName(const DataFile &file)
{
    return QLatin1String(file.name);
}

// The entry of the list for a file name without its folder ("dateTemp.dat"), or null for any other name.
const DataFile *findDataFile(const QString &fileName);

// The file of that kind in folder ("<folder>/dateMemo.dat").
QString dataFilePath(const QString &folder, DataKind kind);
