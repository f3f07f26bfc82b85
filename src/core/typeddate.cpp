#include "typeddate.h"

#include <QRegularExpression>

QString normalizedDateTyping(const QString &typed)
{
    QString text;
    for (const QChar c : typed) {
        if (c.isDigit() && c.digitValue() >= 0) {
            text += QChar(u'0' + c.digitValue());
        } else if (c == u'/' || c == u'-' || c == u'.' || c == QChar(0xFF0F)) {
            text += u'/';
        } else {
            text += c;
        }
    }
    return text;
}

std::optional<QDate> wholeTypedDate(const QString &typed)
{
    static const QRegularExpression separated(QStringLiteral("^(\\d{4})/(\\d{1,2})/(\\d{1,2})$"));
    static const QRegularExpression digits(QStringLiteral("^(\\d{4})(\\d{2})(\\d{2})$"));
    const QString text = normalizedDateTyping(typed);
    QRegularExpressionMatch match = separated.match(text);
    if (!match.hasMatch()) {
        match = digits.match(text);
    }
    if (!match.hasMatch()) {
        return std::nullopt;
    }
    const QDate date(match.captured(1).toInt(), match.captured(2).toInt(), match.captured(3).toInt());
    return date.isValid() ? std::optional<QDate>(date) : std::nullopt;
}

bool mayBecomeTypedDate(const QString &typed)
{
    static const QRegularExpression prefix(QStringLiteral("^(\\d{0,8}|\\d{4}/\\d{0,2}|\\d{4}/\\d{1,2}/\\d{0,2})$"));
    return prefix.match(normalizedDateTyping(typed)).hasMatch();
}
