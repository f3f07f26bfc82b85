#pragma once

#include "linefile.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QDate>
#include <QList>
#include <QSet>
#include <QString>
#include <QStringList>

#include <algorithm>
#include <optional>
#include <utility>

// What dateDay.dat and dateTemp.dat have in common: one line per day, UTF-8, CR LF after every line, ascending
// by date; a byte-order mark before the first line is skipped; blank lines carry nothing and are not written
// back; a line that cannot be read, or a second line for a day already read, is kept with the very bytes it
// had (even ones that are not UTF-8) and written back after the records on every save.

// The file's bytes after its byte-order mark, if it has one.
QByteArrayView dayLinesBody(const QByteArray &bytes);

// True for a line of nothing but spaces and tabs.
bool isBlankDayLine(QByteArrayView line);

// The kept lines as reported: a byte-order mark that opens one is part of it, not the file's mark.
QStringList decodeKeptDayLines(const QList<QByteArray> &lines);
QList<QByteArray> encodeKeptDayLines(const QStringList &lines);

// Replaces the file whole with bytes, readable by its owner only. Throws EFileError
// "ファイル "<path>" を作成できません。<system text>" and leaves the old file as it was.
void writeDayLines(const QString &path, const QByteArray &bytes);

template<typename Record> void sortByDate(QList<Record> &records)
{
    std::stable_sort(records.begin(), records.end(), [](const Record &a, const Record &b) { return a.date < b.date; });
}

// One such file for records of type Record (which has a QDate date), given how a line is read and written.
template<typename Record> class DayLineFile final
{
public:
    // The record a line holds, or none when it cannot be read.
    using ParseLine = std::optional<Record> (*)(const QString &line);
    // The line a record is written as (without CR LF), or none for a record that is not written.
    using FormatLine = std::optional<QString> (*)(const Record &record);

    // The file as the writers need it: the records by date and the unreadable lines as they stood.
    struct Stored
    {
        QList<Record> records;
        QList<QByteArray> unreadable;
    };

    // lineSize: the bytes a typical line takes, to reserve room for the file.
    DayLineFile(ParseLine parseLine, FormatLine formatLine, qsizetype lineSize)
        : m_parseLine(parseLine)
        , m_formatLine(formatLine)
        , m_lineSize(lineSize)
    {
    }

    Stored parse(const QByteArray &bytes) const
    {
        Stored file;
        QSet<QDate> days;
        forEachByteLine(dayLinesBody(bytes), [&](QByteArrayView line, qsizetype) {
            if (isBlankDayLine(line)) {
                return;
            }
            std::optional<Record> record;
            if (isValidUtf8(line)) {
                record = m_parseLine(QString::fromUtf8(line));
            }
            // A second line for a day already read is kept as unreadable rather than chosen over or dropped.
            if (record && !days.contains(record->date)) {
                days.insert(record->date);
                file.records.append(std::move(*record));
            } else {
                file.unreadable.append(line.toByteArray());
            }
        });
        sortByDate(file.records);
        return file;
    }

    // The file as its readers see it: Content is a struct of the records and the unreadable lines as text.
    template<typename Content> Content content(const QByteArray &bytes) const
    {
        Stored stored = parse(bytes);
        return {std::move(stored.records), decodeKeptDayLines(stored.unreadable)};
    }

    // Throws as LineFile::readBytesIfExists does; no records for a missing file.
    Stored read(const QString &path) const { return parse(LineFile::readBytesIfExists(path)); }

    QByteArray format(QList<Record> records, const QList<QByteArray> &unreadable) const
    {
        sortByDate(records);
        QByteArray bytes;
        bytes.reserve(records.size() * m_lineSize);
        // A kept line that itself begins with a byte-order mark would lose it to the reader's skipping.
        const QByteArray utf8Mark("\xEF\xBB\xBF");
        if (records.isEmpty() && !unreadable.isEmpty() && unreadable.front().startsWith(utf8Mark)) {
            bytes += utf8Mark;
        }
        for (const Record &record : records) {
            if (const std::optional<QString> line = m_formatLine(record)) {
                bytes += line->toUtf8();
                bytes += "\r\n";
            }
        }
        for (const QByteArray &line : unreadable) {
            bytes += line;
            bytes += "\r\n";
        }
        return bytes;
    }

    void write(const QString &path, const Stored &file) const
    {
        writeDayLines(path, format(file.records, file.unreadable));
    }

    // Under the data folder's lock: the day's record replaced by record (dated day), or removed for none.
    void store(const QString &path, const QDate &day, std::optional<Record> record) const
    {
        const auto lock = LineFile::lockForUpdate(path);
        Stored file = read(path);
        file.records.removeIf([&day](const Record &r) { return r.date == day; });
        if (record) {
            record->date = day;
            file.records.append(std::move(*record));
        }
        write(path, file);
    }

    // Under the data folder's lock: the records of these days removed; the unreadable lines stay.
    void remove(const QString &path, const QList<QDate> &days) const
    {
        const auto lock = LineFile::lockForUpdate(path);
        Stored file = read(path);
        file.records.removeIf([&days](const Record &r) { return days.contains(r.date); });
        write(path, file);
    }

private:
    ParseLine m_parseLine;
    FormatLine m_formatLine;
    qsizetype m_lineSize;
};
