#pragma once

#include "codepage.h"

#include <QDate>
#include <QFile>
#include <QTemporaryDir>

#include <stdexcept>

// A temporary folder with a date.dat of `periods` first days 29 days apart (newest first, the newest
// on 2011/03/01) and a dateMemo.dat of `memos` lines, one per day going back from 2011/03/01, each with
// a short Japanese memo. Both files are written in code page 932 with CR LF, as the program writes them.
class DataFolder
{
public:
    DataFolder(int periods, int memos)
    {
        if (!m_dir.isValid()) {
            throw std::runtime_error("no temporary folder");
        }
        const QDate newest(2011, 3, 1);
        QString dates;
        for (int i = 0; i < periods; ++i) {
            dates += newest.addDays(-29 * qint64(i)).toString(u"yyyy/MM/dd"_qs) + u"\r\n"_qs;
        }
        QString memoLines;
        for (int i = 0; i < memos; ++i) {
            memoLines += newest.addDays(-qint64(i)).toString(u"yyyy/MM/dd"_qs) +
                         u",\"体温 36.5 度$$頭痛あり、早めに寝る\"\r\n"_qs;
        }
        write(datePath(), dates);
        write(memoPath(), memoLines);
    }

    QString path() const { return m_dir.path(); }
    QString datePath() const { return m_dir.filePath(u"date.dat"_qs); }
    QString memoPath() const { return m_dir.filePath(u"dateMemo.dat"_qs); }

private:
    static void write(const QString &path, const QString &text)
    {
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly) || file.write(encodeAnsi(text)) < 0) {
            throw std::runtime_error("cannot write the data files");
        }
    }

    QTemporaryDir m_dir;
};
