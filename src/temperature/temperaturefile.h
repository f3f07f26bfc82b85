#pragma once

#include <QDate>
#include <QList>
#include <QString>
#include <QStringList>

#include <optional>

// dateTemp.dat, beside date.dat: the basal body temperature, one line per day, ascending by date,
//   yyyy/mm/dd,36.52      a reading
//   yyyy/mm/dd,36.52,x    a reading left out of the calculation (fever, a short night, another thermometer)
// UTF-8 without a byte-order mark, CR LF after every line. A line that cannot be read (a hand edit, a
// second line for a day already read) is never dropped: every save writes it back, after the readings,
// in the order it stood, and the reader reports it. Blank lines carry nothing and are not written back.

struct TemperatureReading
{
    QDate date;
    int centiDegrees = 0;  // hundredths of a degree Celsius, 3400..4200 (34.00–42.00 °C)
    bool excluded = false; // left out of the calculation (the "x" flag)

    friend bool operator==(const TemperatureReading &, const TemperatureReading &) = default;
};

struct TemperatureFileContent
{
    QList<TemperatureReading> readings; // ascending by date, at most one per day
    QStringList unreadableLines;        // lines that could not be read: kept in the file on every save, reported
};

// The lowest and highest reading the file and the day dialog take, in hundredths of a degree.
constexpr int MinCentiDegrees = 3400;
constexpr int MaxCentiDegrees = 4200;

// A missing file holds no readings. Throws EFileError (errors.h) when the file cannot be read.
TemperatureFileContent readTemperatureFile(const QString &path);

// The same from the file's bytes (a byte-order mark, if a hand edit left one, is skipped).
TemperatureFileContent parseTemperatureFile(const QByteArray &bytes);

// The bytes of a file holding these readings (sorted here) and, after them, the unreadable lines.
QByteArray formatTemperatureFile(const TemperatureFileContent &content);

// One line of the file, without its line end: "2024/05/01,36.52" or "2024/05/01,36.52,x".
QString formatTemperatureLine(const TemperatureReading &reading);

// "36.52": two decimals, a point whatever the locale.
QString formatCentiDegrees(int centiDegrees);

// Sets the day's reading (replacing one stored), or removes it when reading is empty; writes atomically
// (writeFileAtomically, new files 0600) under the data lock (DataFolderLock). Throws on failure. The
// reading's own date is ignored: it is stored for day.
void storeTemperatureReading(const QString &path, const QDate &day, const std::optional<TemperatureReading> &reading);

// Removes the readings of these days (one write).
void deleteTemperatureReadings(const QString &path, const QList<QDate> &days);

struct TemperatureMerge
{
    QList<TemperatureReading> added;
    QList<QDate> differing;
};

// Adds each incoming reading for a day without one; a stored reading wins and, when its value or flag
// differs, the day is listed in differing. Writes (one atomic write under the lock) only when write is
// true and something was added; with write false it only computes what would happen. Incoming readings
// outside 34.00–42.00 or without a valid date are passed over; of two incoming for one day the first counts.
TemperatureMerge mergeTemperatureReadings(const QString &path, const QList<TemperatureReading> &incoming, bool write);

// "36.52" / "3652" / "36.5" / "37" → centi-degrees; nothing for text that is not a reading in 34.00–42.00.
// Blanks around the text are ignored, full-width digits and point (typed with the input method on) count.
std::optional<int> parseTemperatureText(const QString &text);
