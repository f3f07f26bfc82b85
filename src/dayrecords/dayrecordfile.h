#pragma once

#include <QByteArray>
#include <QDate>
#include <QList>
#include <QString>
#include <QStringList>

#include <array>
#include <optional>
#include <utility>

// dateDay.dat, beside date.dat: what she observed on a day besides a first day, a memo and a reading.
// One line per day, ascending by date, UTF-8 without a byte-order mark, CR LF after every line:
//   yyyy/mm/dd,key=value,key=value...
// Known keys in this order: flow, pain, painkiller, symptoms, mucus, lh, pill, sex, weight; then every
// key this version does not know, kept as read (a newer version's fields survive a save by this one).
// A line that cannot be read is never dropped: every save writes it back, after the records, in the
// order it stood, and the reader reports it. Blank lines carry nothing and are not written back.
// A line with a date and no field, a field without "=" or a known key given twice cannot be read.
// A known key with a value this version does not know (flow=extreme, pain=4, weight=12.0) is kept, as
// read, in unknown and written back in its key's place; the day dialog shows that field as not recorded,
// and a value she then chooses replaces it. Symptom tokens this version does not know stay in unknown
// under "symptoms" and are written after the known ones in the same field.

enum class Flow { Spotting, Light, Medium, Heavy }; // flow=spotting|light|medium|heavy
enum class LhResult { Negative, Positive, Peak };   // lh=negative|positive|peak
enum class PillState { Taken, Missed };             // pill=taken|missed
enum class SexState { Unprotected, Protected };     // sex=1|protected

// The tokens of symptoms=, joined by "|" in this order when written.
inline constexpr std::array<const char *, 13> SymptomTokens = {
    "cramps", "backache", "headache", "breasts",   "nausea", "skin",    "bloating",
    "sleepy", "bowel",    "fatigue",  "irritable", "low",    "anxious",
};

// Cervical mucus, the five categories of the symptothermal method (mucus=0..4):
// 0 t (dry), 1 Ø (nothing felt), 2 f (moist), 3 S (thick, creamy), 4 S+ (clear, stretchy, slippery).
constexpr int MinMucus = 0;
constexpr int MaxMucus = 4;
// Pain: 0 none (not written), 1 light, 2 moderate, 3 strong (pain=1..3).
constexpr int MaxPain = 3;
// Weight in tenths of a kilogram, 20.0–300.0 kg (weight=52.3).
constexpr int MinWeightTenths = 200;
constexpr int MaxWeightTenths = 3000;

struct DayRecord
{
    QDate date;
    std::optional<Flow> flow;
    int pain = 0;
    bool painkiller = false;
    QStringList symptoms; // tokens of SymptomTokens, each once, in that order
    std::optional<int> mucus;
    std::optional<LhResult> lh;
    std::optional<PillState> pill;
    std::optional<SexState> sex;
    std::optional<int> weightTenths;
    // Keys this version does not know, and known keys whose value it does not know, as read.
    QList<std::pair<QString, QString>> unknown;

    // True when nothing is recorded (such a record is not written: the day's line goes).
    bool isEmpty() const;

    friend bool operator==(const DayRecord &, const DayRecord &) = default;
};

struct DayFileContent
{
    QList<DayRecord> records;    // ascending by date, at most one per day
    QStringList unreadableLines; // kept in the file on every save, reported
};

// A missing file holds no records. Throws EFileError (errors.h) when the file cannot be read.
DayFileContent readDayFile(const QString &path);

// The same from the file's bytes (a byte-order mark, if a hand edit left one, is skipped).
DayFileContent parseDayFile(const QByteArray &bytes);

// The records of the days from..to (both included), ascending, as readDayFile gives them; the other
// lines are only looked at for their date, so a month of ten years of records costs well under a
// millisecond. Unreadable lines are not reported here. Throws as readDayFile does.
QList<DayRecord> readDayRecordsBetween(const QString &path, const QDate &from, const QDate &to);

// The bytes of a file holding these records (sorted here, empty ones left out) and the unreadable lines.
QByteArray formatDayFile(const DayFileContent &content);

// One line of the file without its line end: "2026/05/01,flow=heavy,pain=2,symptoms=cramps|headache".
QString formatDayLine(const DayRecord &record);

// Sets the day's record (replacing one stored), or removes the day's line when the record is empty or
// missing; writes atomically (new files 0600) under the data lock. The record's own date is ignored.
void storeDayRecord(const QString &path, const QDate &day, const std::optional<DayRecord> &record);

// Removes the records of these days (one write).
void deleteDayRecords(const QString &path, const QList<QDate> &days);

// The keys of the known fields in the order a line holds them; also the kinds an import counts by.
inline constexpr std::array<const char *, 9> DayRecordKeys = {"flow", "pain", "painkiller", "symptoms", "mucus",
                                                              "lh",   "pill", "sex",        "weight"};

struct DayRecordMerge
{
    std::array<int, DayRecordKeys.size()> added{};     // per key: days that gain the field
    std::array<int, DayRecordKeys.size()> differing{}; // per key: days whose stored value differs and stays
    int newDays = 0;                                   // days that had no record
    bool changesAnything() const;
};

// Joins from into into, field by field: a single value (flow, pain, painkiller, mucus, lh, pill, sex,
// weight) that into lacks is taken, one it holds stays and, when from's differs, counts as differing;
// symptoms are joined. Values outside their ranges and unknown symptom tokens in from are passed over.
// Returns whether into changed.
bool joinDayRecord(DayRecord &into, const DayRecord &from, DayRecordMerge *counts = nullptr);

// Joins each incoming record into the stored one of its day (joinDayRecord), or adds it for a day
// without one. Writes (one atomic write under the lock) only when write is true and something changed;
// with write false it only computes what would happen. Records without a valid date are passed over.
DayRecordMerge mergeDayRecords(const QString &path, const QList<DayRecord> &incoming, bool write);

// The tokens of the file for each value ("spotting", "peak", "taken", "protected"), and back.
QString flowToken(Flow flow);
QString lhToken(LhResult result);
QString pillToken(PillState state);
QString sexToken(SexState state);
std::optional<Flow> flowFromToken(QStringView token);
std::optional<LhResult> lhFromToken(QStringView token);
std::optional<PillState> pillFromToken(QStringView token);
std::optional<SexState> sexFromToken(QStringView token);

// "52.3" / "52" / "５２．３" → tenths of a kilogram; nothing for text that is not a weight in 20.0–300.0.
std::optional<int> parseWeightText(const QString &text);

// "52.3": one decimal, a point whatever the locale.
QString formatWeightTenths(int tenths);
