#include "temperaturefile.h"

#include "datetext.h"
#include "errors.h"
#include "linefile.h"
#include "textfile.h"

#include <QFileInfo>
#include <QHash>
#include <QSet>
#include <QStringDecoder>

#include <algorithm>
#include <cstdlib>

namespace {

const QByteArray utf8Mark("\xEF\xBB\xBF");

// The file as the writers need it: the readings and the unreadable lines with the very bytes they had,
// so that a save never changes a line it could not understand (even one that is not UTF-8).
struct StoredFile
{
    QList<TemperatureReading> readings;
    QList<QByteArray> unreadable;
};

std::optional<TemperatureReading> parseLine(const QString &line)
{
    const QStringList fields = line.split(u',');
    if (fields.size() < 2 || fields.size() > 3) {
        return std::nullopt;
    }
    TemperatureReading reading;
    try {
        reading.date = parseDateText(fields[0]);
    } catch (const EConvertError &) {
        return std::nullopt;
    }
    const std::optional<int> value = parseTemperatureText(fields[1]);
    if (!value) {
        return std::nullopt;
    }
    reading.centiDegrees = *value;
    if (fields.size() == 3) {
        const QString flag = fields[2].trimmed();
        if (flag.compare(QLatin1String("x"), Qt::CaseInsensitive) != 0) {
            return std::nullopt;
        }
        reading.excluded = true;
    }
    return reading;
}

bool isBlankLine(QByteArrayView line)
{
    return std::all_of(line.begin(), line.end(), [](char c) { return c == ' ' || c == '\t'; });
}

StoredFile parseStored(const QByteArray &bytes)
{
    QByteArrayView body(bytes);
    if (body.startsWith(utf8Mark)) {
        body = body.sliced(utf8Mark.size());
    }
    StoredFile file;
    QList<QDate> days;
    forEachByteLine(body, [&](QByteArrayView line, qsizetype) {
        if (isBlankLine(line)) {
            return;
        }
        std::optional<TemperatureReading> reading;
        if (isValidUtf8(line)) {
            reading = parseLine(QString::fromUtf8(line));
        }
        // A second line for a day already read is kept as unreadable rather than chosen over or dropped.
        if (reading && !days.contains(reading->date)) {
            days.append(reading->date);
            file.readings.append(*reading);
        } else {
            file.unreadable.append(line.toByteArray());
        }
    });
    std::stable_sort(file.readings.begin(), file.readings.end(),
                     [](const TemperatureReading &a, const TemperatureReading &b) { return a.date < b.date; });
    return file;
}

// The file's bytes; none for a missing file. A folder at the path is not "no file": reading it reports
// the error instead of hiding it.
QByteArray readBytesIfExists(const QString &path)
{
    if (!QFileInfo::exists(path)) {
        return {};
    }
    QByteArray bytes;
    QString errorText;
    if (!readFileBytes(path, bytes, errorText)) {
        throw EFileError(QStringLiteral("ファイル %1 は開けません。 %2 ").arg(path, errorText));
    }
    return bytes;
}

StoredFile readStored(const QString &path)
{
    return parseStored(readBytesIfExists(path));
}

QByteArray formatStored(QList<TemperatureReading> readings, const QList<QByteArray> &unreadable)
{
    std::stable_sort(readings.begin(), readings.end(),
                     [](const TemperatureReading &a, const TemperatureReading &b) { return a.date < b.date; });
    QByteArray bytes;
    bytes.reserve(readings.size() * 20);
    // A kept line that itself begins with a byte-order mark would lose it to the reader's skipping.
    if (readings.isEmpty() && !unreadable.isEmpty() && unreadable.front().startsWith(utf8Mark)) {
        bytes += utf8Mark;
    }
    for (const TemperatureReading &reading : readings) {
        bytes += formatTemperatureLine(reading).toUtf8();
        bytes += "\r\n";
    }
    for (const QByteArray &line : unreadable) {
        bytes += line;
        bytes += "\r\n";
    }
    return bytes;
}

void writeStored(const QString &path, const StoredFile &file)
{
    QString errorText;
    // Her temperature, like her cycle, is nobody else's business.
    if (!writeFileAtomically(path, formatStored(file.readings, file.unreadable),
                             QFileDevice::ReadOwner | QFileDevice::WriteOwner, errorText)) {
        throw EFileError(QStringLiteral("ファイル \"%1\" を作成できません。%2").arg(path, errorText));
    }
}

} // namespace

TemperatureFileContent parseTemperatureFile(const QByteArray &bytes)
{
    StoredFile stored = parseStored(bytes);
    TemperatureFileContent content;
    content.readings = std::move(stored.readings);
    for (const QByteArray &line : stored.unreadable) {
        // A byte-order mark that opens a kept line is part of it, not to be skipped as the file's mark.
        QStringDecoder decoder(QStringConverter::Utf8,
                               QStringConverter::Flag::ConvertInitialBom | QStringConverter::Flag::Stateless);
        content.unreadableLines.append(decoder(line));
    }
    return content;
}

TemperatureFileContent readTemperatureFile(const QString &path)
{
    return parseTemperatureFile(readBytesIfExists(path));
}

QByteArray formatTemperatureFile(const TemperatureFileContent &content)
{
    QList<QByteArray> unreadable;
    for (const QString &line : content.unreadableLines) {
        unreadable.append(line.toUtf8());
    }
    return formatStored(content.readings, unreadable);
}

QString formatCentiDegrees(int centiDegrees)
{
    const int magnitude = std::abs(centiDegrees);
    const QString sign = centiDegrees < 0 ? QStringLiteral("-") : QString();
    return sign + QString::number(magnitude / 100) + u'.' + QString::number(magnitude % 100).rightJustified(2, u'0');
}

QString formatTemperatureLine(const TemperatureReading &reading)
{
    QString line = formatDateText(reading.date) + u',' + formatCentiDegrees(reading.centiDegrees);
    if (reading.excluded) {
        line += QStringLiteral(",x");
    }
    return line;
}

void storeTemperatureReading(const QString &path, const QDate &day, const std::optional<TemperatureReading> &reading)
{
    const auto lock = LineFile::lockForUpdate(path);
    StoredFile file = readStored(path);
    file.readings.removeIf([&day](const TemperatureReading &r) { return r.date == day; });
    if (reading) {
        TemperatureReading stored = *reading;
        stored.date = day;
        file.readings.append(stored);
    }
    writeStored(path, file);
}

void deleteTemperatureReadings(const QString &path, const QList<QDate> &days)
{
    const auto lock = LineFile::lockForUpdate(path);
    StoredFile file = readStored(path);
    file.readings.removeIf([&days](const TemperatureReading &r) { return days.contains(r.date); });
    writeStored(path, file);
}

TemperatureMerge mergeTemperatureReadings(const QString &path, const QList<TemperatureReading> &incoming, bool write)
{
    std::unique_ptr<DataFolderLock> lock;
    if (write) {
        lock = LineFile::lockForUpdate(path);
    }
    StoredFile file = readStored(path);
    QHash<QDate, TemperatureReading> byDay;
    for (const TemperatureReading &r : file.readings) {
        byDay.insert(r.date, r);
    }
    TemperatureMerge merge;
    // The days this merge added or listed as differing: sets, so that the merge stays linear.
    QSet<QDate> addedDays;
    QSet<QDate> differingDays;
    for (const TemperatureReading &r : incoming) {
        if (!r.date.isValid() || r.centiDegrees < MinCentiDegrees || r.centiDegrees > MaxCentiDegrees) {
            continue;
        }
        const auto found = byDay.constFind(r.date);
        if (found == byDay.constEnd()) {
            byDay.insert(r.date, r);
            addedDays.insert(r.date);
            merge.added.append(r);
        } else if ((found->centiDegrees != r.centiDegrees || found->excluded != r.excluded) &&
                   !addedDays.contains(r.date) && !differingDays.contains(r.date)) {
            differingDays.insert(r.date);
            merge.differing.append(r.date);
        }
    }
    if (write && !merge.added.isEmpty()) {
        file.readings.append(merge.added);
        writeStored(path, file);
    }
    return merge;
}

std::optional<int> parseTemperatureText(const QString &text)
{
    const QString trimmed = text.trimmed();
    QString digits;
    qsizetype point = -1;
    for (const QChar c : trimmed) {
        if (c == u'.' || c == u'．') {
            if (point >= 0) {
                return std::nullopt;
            }
            point = digits.size();
        } else if (c.isDigit() && c.digitValue() >= 0) {
            digits += QChar(u'0' + c.digitValue());
        } else {
            return std::nullopt;
        }
    }
    int value = 0;
    if (point < 0) {
        // "3652" is how a four-digit thermometer reading is typed quickly; "37" a whole degree.
        if (digits.size() == 4) {
            value = digits.toInt();
        } else if (digits.size() == 2) {
            value = digits.toInt() * 100;
        } else {
            return std::nullopt;
        }
    } else {
        const qsizetype decimals = digits.size() - point;
        if (point != 2 || decimals < 1 || decimals > 2) {
            return std::nullopt;
        }
        value = digits.left(2).toInt() * 100 + digits.mid(2).leftJustified(2, u'0').toInt();
    }
    if (value < MinCentiDegrees || value > MaxCentiDegrees) {
        return std::nullopt;
    }
    return value;
}
