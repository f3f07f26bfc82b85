#pragma once

#include <QDate>
#include <QJsonValue>

// A day in JSON: "yyyy-mm-dd", or null for a day that could not be computed (invalid, or past the year
// 9999 that the form can write), never an empty text.
inline QJsonValue jsonDate(const QDate &date)
{
    const QString text = date.isValid() ? date.toString(Qt::ISODate) : QString();
    return text.isEmpty() ? QJsonValue(QJsonValue::Null) : QJsonValue(text);
}
