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
    return int(std::lround(value * 100.0));
}
