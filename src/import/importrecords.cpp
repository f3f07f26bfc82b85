#include "importrecords.h"

#include <algorithm>
#include <cmath>

void ImportedRecords::skip(qint64 position, const QString &reason)
{
    ++skippedCount;
    if (skipped.size() < MaxListedSkipped) {
        skipped.append({position, reason});
    }
}

bool ImportedRecords::admit(const QDate &day)
{
    if (day >= FirstImportDay && day <= today) {
        return true;
    }
    ++outOfRangeCount;
    return false;
}

namespace {

bool isControl(char32_t c)
{
    return c < 0x20 || (c >= 0x7F && c <= 0x9F) || c == 0x2028 || c == 0x2029;
}

// Escaped as \x1B (one byte's worth) or \u2028.
QString escapedControl(char16_t c)
{
    const int width = c < 0x100 ? 2 : 4;
    return (width == 2 ? QStringLiteral("\\x") : QStringLiteral("\\u")) +
           QString::number(c, 16).toUpper().rightJustified(width, u'0');
}

} // namespace

void keepPlausible(ImportedRecords &records)
{
    records.firstDays.removeIf([&](const QDate &day) { return !records.admit(day); });
    records.readings.removeIf([&](const TemperatureReading &r) { return !records.admit(r.date); });
    records.dayRecords.removeIf([&](const DayRecord &r) { return !records.admit(r.date); });
    records.memos.removeIf([&](const ImportedMemo &memo) { return !records.admit(memo.day); });
    for (ImportedMemo &memo : records.memos) {
        const qsizetype before = memo.text.size();
        memo.text.removeIf([](QChar c) { return c != u'\r' && c != u'\n' && c != u'\t' && isControl(c.unicode()); });
        if (memo.text.size() != before) {
            ++records.memosWithControls;
        }
    }
    records.memos.removeIf([](const ImportedMemo &memo) { return memo.text.trimmed().isEmpty(); });
}

QString escapeControls(QStringView text)
{
    QString escaped;
    escaped.reserve(text.size());
    for (const QChar c : text) {
        if (!isControl(c.unicode())) {
            escaped.append(c);
        } else {
            escaped.append(escapedControl(c.unicode()));
        }
    }
    return escaped;
}

QString temperatureRangeReason(const QString &value)
{
    return QStringLiteral("体温 \"%1\" は %2〜%3 ℃ の値ではありません")
        .arg(value, formatCentiDegrees(MinCentiDegrees), formatCentiDegrees(MaxCentiDegrees));
}

QString recordTooLongReason()
{
    return QStringLiteral("%1 MiB を超える行または記録があります。ほかのアプリの書き出しではないようです")
        .arg(MaxRecordBytes >> 20);
}

void ImportedRecords::observe(const DayRecord &record)
{
    if (!record.date.isValid()) {
        return;
    }
    // The list may have lost days since (keepPlausible): the index follows it.
    if (m_dayIndex.size() != dayRecords.size()) {
        m_dayIndex.clear();
        for (qsizetype i = 0; i < dayRecords.size(); ++i) {
            m_dayIndex.insert(dayRecords[i].date, i);
        }
    }
    const auto found = m_dayIndex.constFind(record.date);
    if (found != m_dayIndex.constEnd()) {
        joinDayRecord(dayRecords[*found], record);
        return;
    }
    DayRecord day;
    day.date = record.date;
    if (joinDayRecord(day, record)) {
        m_dayIndex.insert(day.date, dayRecords.size());
        dayRecords.append(day);
    }
}

void ImportedRecords::observeAsMemo(const QDate &day, const QString &what)
{
    if (day.isValid()) {
        memos.append({day, what});
        ++fieldsInMemos;
    }
}

EImportError::EImportError(QString reason)
    : m_reason(std::move(reason))
    , m_utf8(m_reason.toUtf8())
{
}

QDate parseImportDate(QStringView text, bool dateOnlyPrefix)
{
    text = text.trimmed();
    if (dateOnlyPrefix && text.size() > 10) {
        text = text.left(10);
    }
    // yyyy, then month and day of one or two digits, each after the same separator ("-" or "/").
    int parts[3] = {0, 0, 0};
    qsizetype i = 0;
    QChar separator;
    for (int part = 0; part < 3; ++part) {
        if (part > 0) {
            if (i >= text.size() || (text[i] != u'-' && text[i] != u'/') || (part == 2 && text[i] != separator)) {
                return {};
            }
            separator = text[i++];
        }
        const qsizetype start = i;
        while (i < text.size() && text[i] >= u'0' && text[i] <= u'9' && i - start < 4) {
            parts[part] = parts[part] * 10 + (text[i].unicode() - u'0');
            ++i;
        }
        const qsizetype digits = i - start;
        if (part == 0 ? digits != 4 : (digits < 1 || digits > 2)) {
            return {};
        }
    }
    if (i != text.size()) {
        return {};
    }
    return QDate(parts[0], parts[1], parts[2]);
}

std::optional<int> centiDegreesFrom(QStringView text, bool fahrenheit)
{
    bool ok = false;
    double value = text.trimmed().toDouble(&ok);
    if (!ok || !std::isfinite(value) || std::abs(value) > 1e6) {
        return std::nullopt;
    }
    if (fahrenheit) {
        value = (value - 32.0) * 5.0 / 9.0;
    }
    return centiDegreesRounded(value);
}

int centiDegreesRounded(double celsius)
{
    // 36.555 is 3655.4999999999995 hundredths as a double: the nudge, far below any thermometer's
    // resolution, rounds the written half up as the text says.
    const double hundredths = celsius * 100.0;
    return int(std::lround(hundredths + std::copysign(1e-7, hundredths)));
}
