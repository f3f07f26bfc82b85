#pragma once

#include "datalock.h"
#include "textfile.h"

#include <QString>
#include <QStringList>

#include <memory>

// The whole-file list of text lines through which date.dat and dateMemo.dat are read and written.
// It remembers the encoding of the file it was read from and writes the file back in it.
class LineFile final
{
public:
    LineFile() = default;

    // The file's lines, or an empty list (written in the ANSI code page) when there is no file. A file
    // without a mark that is valid UTF-8 is read, and written back, as UTF-8 without a mark.
    static LineFile readIfExists(const QString &path);

    // Throws EFileError "ファイル <path> は開けません。 <system text> " when the file cannot be read.
    void loadFromFile(const QString &path);

    // The file's bytes as stored, for a reader that needs only part of each line; empty when there is no
    // file. Throws as loadFromFile does.
    static QByteArray readBytesIfExists(const QString &path);

    // Replaces the file whole (temporary file + rename); CR LF after every line. Lines read from the file
    // and left as they were get back the bytes they had. A text that code page 932 cannot hold turns an
    // Ansi file into UTF-8 with a mark. A new file is readable by its owner only. Throws EFileError
    // "ファイル "<path>" を作成できません。<system text>" and leaves the old file as it was.
    // encoding() then names the encoding written.
    void saveToFile(const QString &path);

    // The data folder's lock (datalock.h) for one read-modify-write of path, held until the result goes.
    // Throws EFileError "ファイル "<path>" を作成できません。<reason>" when another program keeps it.
    static std::unique_ptr<DataFolderLock> lockForUpdate(const QString &path);

    QStringList &lines() { return m_lines; }
    const QStringList &lines() const { return m_lines; }

    TextEncoding encoding() const { return m_encoding; }
    void setEncoding(TextEncoding encoding) { m_encoding = encoding; }

private:
    QStringList m_lines;
    TextEncoding m_encoding = TextEncoding::Ansi;
    StoredLines m_stored;
};

// Three-way comparison for the newest-first order of both data files, meant for an ascending sort:
// negative when a belongs before b, that is when a is the GREATER line; zero when equal; positive when
// a is the smaller line. Lines are compared by UTF-16 code units from the start, a-z counting as A-Z;
// when one line is the beginning of the other, the shorter one is the smaller.
int CompareLinesDescending(const QString &a, const QString &b);

// Sorts so that the greater line comes first. Zero-padded "yyyy/mm/dd" lines end up newest first.
void sortLinesDescending(QStringList &lines);
