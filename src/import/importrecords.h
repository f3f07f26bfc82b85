#pragma once

#include "firstdayrule.h"
#include "temperaturefile.h"

#include <QDate>
#include <QList>
#include <QString>

// What every reader of another program's file gives back: plain records, nothing written yet.

struct ImportedMemo
{
    QDate day;
    QString text; // line breaks as CR LF
    friend bool operator==(const ImportedMemo &, const ImportedMemo &) = default;
};

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
    QList<SkippedEntry> skipped; // at most MaxListedSkipped entries; skippedCount counts them all
    qint64 skippedCount = 0;

    static constexpr int MaxListedSkipped = 200;
    void skip(qint64 position, const QString &reason);
};

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
