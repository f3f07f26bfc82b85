#include "errors.h"

AppError::AppError(QString message)
    : m_message(std::move(message))
    , m_utf8(m_message.toUtf8())
{
}

EListError EListError::indexOutOfRange(qsizetype index)
{
    return EListError(QStringLiteral("リストのインデックスが範囲を超えています (%1)").arg(index));
}

QString quotedValue(const QString &text)
{
    constexpr int MaxCharacters = 100;
    qsizetype end = 0;
    for (int n = 0; n < MaxCharacters && end < text.size(); ++n) {
        const bool pair = text[end].isHighSurrogate() && end + 1 < text.size() && text[end + 1].isLowSurrogate();
        end += pair ? 2 : 1;
    }
    if (end == text.size()) {
        return text;
    }
    return text.first(end) + QStringLiteral("…");
}

QString errorBoxText(const QString &message)
{
    if (!message.isEmpty() && message.back() > QLatin1Char('.')) {
        return message + QLatin1Char('.');
    }
    return message;
}
