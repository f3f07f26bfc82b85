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

QString errorBoxText(const QString &message)
{
    if (!message.isEmpty() && message.back() > QLatin1Char('.')) {
        return message + QLatin1Char('.');
    }
    return message;
}
