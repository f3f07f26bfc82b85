#pragma once

#include <QByteArray>
#include <QFile>
#include <QString>
#include <QTest>

#include <cstring>

// Byte-level access to the data files the tests compare.

inline QByteArray readBytes(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<unreadable>");
}

// Fails the calling test (which must check QTest::currentTestFailed() if it goes on) when the file
// cannot be written whole.
inline void writeBytes(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    QCOMPARE(f.write(bytes), bytes.size());
}

// The system's text for an errno value, as the program's file errors quote it.
inline QString systemText(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}
