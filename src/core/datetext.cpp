#include "datetext.h"

#include "errors.h"

namespace {

[[noreturn]] void notADate(const QString &text)
{
    throw EConvertError(QStringLiteral("''%1'' は日付ではありません").arg(quotedValue(text)));
}

// Reads 1..maxDigits ASCII digits at pos; returns -1 when there is none or too many.
int readNumber(const QString &text, qsizetype &pos, int maxDigits)
{
    int value = 0;
    int digits = 0;
    while (pos < text.size() && text[pos] >= QLatin1Char('0') && text[pos] <= QLatin1Char('9')) {
        if (++digits > maxDigits) {
            return -1;
        }
        value = value * 10 + (text[pos].unicode() - u'0');
        ++pos;
    }
    return digits == 0 ? -1 : value;
}

bool isBlank(QChar c)
{
    return c == QLatin1Char(' ') || c == QLatin1Char('\t');
}

} // namespace

QString formatDateText(const QDate &date)
{
    // Written digit by digit: the lists of the registered-data dialog format one date per memo line.
    int year = 0;
    int month = 0;
    int day = 0;
    date.getDate(&year, &month, &day);
    if (year < 1 || year > 9999) {
        return QStringLiteral("%1/%2/%3")
            .arg(year, 4, 10, QLatin1Char('0'))
            .arg(month, 2, 10, QLatin1Char('0'))
            .arg(day, 2, 10, QLatin1Char('0'));
    }
    const char16_t text[10] = {char16_t(u'0' + year / 1000),
                               char16_t(u'0' + year / 100 % 10),
                               char16_t(u'0' + year / 10 % 10),
                               char16_t(u'0' + year % 10),
                               u'/',
                               char16_t(u'0' + month / 10),
                               char16_t(u'0' + month % 10),
                               u'/',
                               char16_t(u'0' + day / 10),
                               char16_t(u'0' + day % 10)};
    return QString(reinterpret_cast<const QChar *>(text), 10);
}

QDate parseDateText(const QString &text)
{
    qsizetype pos = 0;
    while (pos < text.size() && isBlank(text[pos])) {
        ++pos;
    }
    const int year = readNumber(text, pos, 4);
    if (year < 1 || pos >= text.size() || text[pos++] != QLatin1Char('/')) {
        notADate(text);
    }
    const int month = readNumber(text, pos, 2);
    if (month < 0 || pos >= text.size() || text[pos++] != QLatin1Char('/')) {
        notADate(text);
    }
    const int day = readNumber(text, pos, 2);
    while (pos < text.size() && isBlank(text[pos])) {
        ++pos;
    }
    if (day < 0 || pos != text.size() || !QDate::isValid(year, month, day)) {
        notADate(text);
    }
    return QDate(year, month, day);
}

int parseIntegerText(const QString &text)
{
    qsizetype pos = 0;
    while (pos < text.size() && isBlank(text[pos])) {
        ++pos;
    }
    bool negative = false;
    if (pos < text.size() && (text[pos] == QLatin1Char('-') || text[pos] == QLatin1Char('+'))) {
        negative = text[pos] == QLatin1Char('-');
        ++pos;
    }
    const qsizetype first = pos;
    qint64 value = 0;
    while (pos < text.size() && text[pos] >= QLatin1Char('0') && text[pos] <= QLatin1Char('9')) {
        value = value * 10 + (text[pos].unicode() - u'0');
        if (value > qint64(2147483648)) {
            break;
        }
        ++pos;
    }
    if (pos == first || pos != text.size() || value > (negative ? qint64(2147483648) : qint64(2147483647))) {
        throw EConvertError(QStringLiteral("''%1'' は整数ではありません").arg(quotedValue(text)));
    }
    return int(negative ? -value : value);
}
