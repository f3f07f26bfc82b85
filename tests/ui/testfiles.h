#pragma once

#include <QByteArray>
#include <QFile>
#include <QString>
#include <QStringList>

#include <initializer_list>

// Small helpers of the window tests: files compared byte for byte, lists of UTF-8 literals.

inline bool writeFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

inline QByteArray readFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

inline QStringList strings(std::initializer_list<const char *> items)
{
    QStringList result;
    for (const char *item : items) {
        result << QString::fromUtf8(item);
    }
    return result;
}
