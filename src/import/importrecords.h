#pragma once

#include "dayrecordfile.h"
#include "firstdayrule.h"
#include "memofile.h"
#include "temperaturefile.h"

#include <QDate>
#include <QHash>
#include <QList>
#include <QString>

// What every reader of another program's file gives back: plain records, nothing written yet.

using ImportedMemo = DayMemo;

struct SkippedEntry
{
    qint64 position = 0; // the line (text files) or record (JSON) number, from 1
    QString reason;
};

struct ImportedRecords
{
    QString format;       // the format's name as the preview shows it
    QString positionUnit; // "行目" or "件目": what SkippedEntry::position counts
    QList<QDate> firstDays;
    QList<ImportedMemo> memos;
    QList<TemperatureReading> readings;
    QList<DayRecord> dayRecords; // at most one per day (readers join a day's observations)
    qint64 fieldsInMemos = 0;    // observations with no field here, kept as memo lines ("Clue: 食欲")
    QList<SkippedEntry> skipped; // at most MaxListedSkipped entries; skippedCount counts them all
    qint64 skippedCount = 0;
    // The last day a record may be of; records after it or before FirstImportDay are left out, counted.
    QDate today = QDate::currentDate();
    qint64 outOfRangeCount = 0;
    qint64 memosWithControls = 0; // memos that held control characters, dropped from them

    static constexpr int MaxListedSkipped = 200;
    void skip(qint64 position, const QString &reason);
    // Whether a record of the day comes in; counts it in outOfRangeCount when it does not.
    bool admit(const QDate &day);
    // Joins an observation into the day's record (a day's first value of a single field counts).
    void observe(const DayRecord &record);
    // Keeps an observation this program has no field for as a line of the day's memo, naming the source.
    void observeAsMemo(const QDate &day, const QString &what);

private:
    QHash<QDate, qsizetype> m_dayIndex;
};

// No record of a day before this one, or after today, comes in: such a date is a typing or clock error
// (0001/01/01, 9999/12/31) and would turn every prediction into nonsense.
inline const QDate FirstImportDay{1900, 1, 1};

// The longest line, record, attribute or comment a reader takes, in bytes (or characters): no export
// holds anything near it, and a bound keeps a hostile file from growing the import without end.
inline constexpr qint64 MaxRecordBytes = qint64(4) << 20;

// Leaves out the first days, memos and readings outside FirstImportDay..records.today and drops the
// control characters (all but line breaks and tabs) from the memos, counting both for the preview.
void keepPlausible(ImportedRecords &records);

// The text with every control character (C0, DEL, C1, and the line and paragraph separators) written as
// \xHH or \uHHHH, so that text from a file cannot move the cursor, clear a terminal or set its title.
QString escapeControls(QStringView text);

// The reason a reading is skipped: "体温 "<value>" は 34.00〜42.00 ℃ の値ではありません", the range from
// MinCentiDegrees and MaxCentiDegrees.
QString temperatureRangeReason(const QString &value);

// The reason an import ends when one token of the file is longer than MaxRecordBytes.
QString recordTooLongReason();

// A file that is not one of the formats, or breaks off: the import ends and nothing is written.
class EImportError final : public std::exception
{
public:
    explicit EImportError(QString reason);
    const QString &reason() const noexcept { return m_reason; }
    const char *what() const noexcept override { return m_utf8.constData(); }

private:
    QString m_reason;
    QByteArray m_utf8;
};

// "2024-05-01", "2024/05/01", "2024/5/1" (and the first ten characters of "2024-05-01T08:00:00Z" when
// dateOnlyPrefix): the day, or an invalid date.
QDate parseImportDate(QStringView text, bool dateOnlyPrefix = false);

// Hundredths of a degree Celsius from a value in Celsius or Fahrenheit, rounded; nothing when the text
// is not a number.
std::optional<int> centiDegreesFrom(QStringView text, bool fahrenheit);

// Hundredths of a degree from degrees Celsius, a written half rounded up ("36.555" is 36.56 °C), as a
// person reading the value to two decimals would round it. |celsius| below a million.
int centiDegreesRounded(double celsius);
