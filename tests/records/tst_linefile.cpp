#include "errors.h"
#include "linefile.h"

#include "../support/files.h"
#include "../support/unprivileged.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <sys/stat.h>

#include <cerrno>
#include <cstring>

class TestLineFile : public QObject
{
    Q_OBJECT

private slots:
    void load_cutsLinesAtEveryLineEnd_data();
    void load_cutsLinesAtEveryLineEnd();
    void load_choosesEncodingByMark_data();
    void load_choosesEncodingByMark();
    void save_writesMarkBackAndCrLfAfterEveryLine_data();
    void save_writesMarkBackAndCrLfAfterEveryLine();
    void save_neverReadList_isCp932WithoutMark();
    void save_unmappableCharacter_movesFileToUtf8WithMark();
    void save_keepsPermissionBitsOfExistingFile();
    void readIfExists_missingFile_isEmptyList();
    void load_missingFile_throwsOpenError();
    void load_folderAtPath_throwsOpenError();
    void load_unreadableFile_throwsOpenError();
    void save_folderAtPath_throwsCreateError();
    void save_readOnlyFolder_throwsCreateErrorAndKeepsOldFile();
    void compare_order_data();
    void compare_order();
    void sort_putsGreaterLinesFirst();

private:
    QTemporaryDir m_dir;
};

void TestLineFile::load_cutsLinesAtEveryLineEnd_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QStringList>("lines");
    QTest::newRow("empty file") << QByteArray() << QStringList();
    QTest::newRow("one line, no end") << QByteArray("a") << QStringList{u"a"_qs};
    QTest::newRow("final CR LF starts nothing") << QByteArray("a\r\n") << QStringList{u"a"_qs};
    QTest::newRow("last line without end") << QByteArray("a\r\nb") << QStringList{u"a"_qs, u"b"_qs};
    QTest::newRow("lone CR and lone LF") << QByteArray("a\rb\nc\r\n") << QStringList{u"a"_qs, u"b"_qs, u"c"_qs};
    QTest::newRow("empty line between ends") << QByteArray("a\r\n\r\nb") << QStringList{u"a"_qs, u""_qs, u"b"_qs};
    QTest::newRow("only a line end") << QByteArray("\r\n") << QStringList{u""_qs};
    QTest::newRow("LF then CR is two ends") << QByteArray("a\n\r") << QStringList{u"a"_qs, u""_qs};
    QTest::newRow("CR then CR LF") << QByteArray("a\r\r\nb") << QStringList{u"a"_qs, u""_qs, u"b"_qs};
    QTest::newRow("blanks kept") << QByteArray(" a \r\n\tb") << QStringList{u" a "_qs, u"\tb"_qs};
}

void TestLineFile::load_cutsLinesAtEveryLineEnd()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QStringList, lines);
    const QString path = m_dir.filePath(u"lines.dat"_qs);
    writeBytes(path, bytes);
    LineFile file;
    file.loadFromFile(path);
    QCOMPARE(file.lines(), lines);
    QCOMPARE(file.encoding(), TextEncoding::Ansi);
}

void TestLineFile::load_choosesEncodingByMark_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QStringList>("lines");
    QTest::addColumn<TextEncoding>("encoding");
    const QString memo = u"2011/03/05,\"生理痛\""_qs;
    QTest::newRow("UTF-8 mark") << QByteArray("\xEF\xBB\xBF") + memo.toUtf8() + "\r\n"
                                << QStringList{memo} << TextEncoding::Utf8;
    QTest::newRow("UTF-8 mark only") << QByteArray("\xEF\xBB\xBF") << QStringList() << TextEncoding::Utf8;
    QByteArray le("\xFF\xFE");
    QByteArray be("\xFE\xFF");
    for (QChar c : memo + u"\r\nx"_qs) {
        le.append(char(c.unicode() & 0xFF)).append(char(c.unicode() >> 8));
        be.append(char(c.unicode() >> 8)).append(char(c.unicode() & 0xFF));
    }
    QTest::newRow("UTF-16 LE mark") << le << QStringList{memo, u"x"_qs} << TextEncoding::Utf16LE;
    QTest::newRow("UTF-16 BE mark") << be << QStringList{memo, u"x"_qs} << TextEncoding::Utf16BE;
    // 生理痛 in code page 932.
    QTest::newRow("no mark is code page 932")
        << QByteArray("2011/03/05,\"\x90\xB6\x97\x9D\x92\xC9\"\r\n") << QStringList{memo} << TextEncoding::Ansi;
    QTest::newRow("UTF-8 text without mark is UTF-8")
        << QByteArray("\xE3\x81\x82") << QStringList{u"あ"_qs} << TextEncoding::Utf8NoMark;
}

void TestLineFile::load_choosesEncodingByMark()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QStringList, lines);
    QFETCH(TextEncoding, encoding);
    const QString path = m_dir.filePath(u"marked.dat"_qs);
    writeBytes(path, bytes);
    const LineFile file = LineFile::readIfExists(path);
    QCOMPARE(file.encoding(), encoding);
    QCOMPARE(file.lines(), lines);
}

void TestLineFile::save_writesMarkBackAndCrLfAfterEveryLine_data()
{
    QTest::addColumn<QByteArray>("before");
    QTest::addColumn<QByteArray>("after");
    QTest::newRow("UTF-8 with mark, last end missing") << QByteArray("\xEF\xBB\xBF\xE3\x81\x82\n\xE3\x81\x84")
                                                       << QByteArray("\xEF\xBB\xBF\xE3\x81\x82\r\n\xE3\x81\x84\r\n");
    QTest::newRow("UTF-16 LE") << QByteArray("\xFF\xFE"
                                             "a\0\n\0",
                                             6)
                               << QByteArray("\xFF\xFE"
                                             "a\0\r\0\n\0",
                                             8);
    QTest::newRow("UTF-16 BE") << QByteArray("\xFE\xFF\0a\0\r", 6) << QByteArray("\xFE\xFF\0a\0\r\0\n", 8);
    QTest::newRow("932 stays without mark")
        << QByteArray("\x82\xA0\r\x82\xA2") << QByteArray("\x82\xA0\r\n\x82\xA2\r\n");
    QTest::newRow("empty 932 file stays empty") << QByteArray() << QByteArray();
    QTest::newRow("mark only stays mark only") << QByteArray("\xEF\xBB\xBF") << QByteArray("\xEF\xBB\xBF");
}

void TestLineFile::save_writesMarkBackAndCrLfAfterEveryLine()
{
    QFETCH(QByteArray, before);
    QFETCH(QByteArray, after);
    const QString path = m_dir.filePath(u"roundtrip.dat"_qs);
    writeBytes(path, before);
    LineFile::readIfExists(path).saveToFile(path);
    QCOMPARE(readBytes(path), after);
}

void TestLineFile::save_neverReadList_isCp932WithoutMark()
{
    const QString path = m_dir.filePath(u"new.dat"_qs);
    LineFile file;
    file.lines() << u"2011/03/05,\"あ\""_qs << QString();
    file.saveToFile(path);
    QCOMPARE(readBytes(path), QByteArray("2011/03/05,\"\x82\xA0\"\r\n\r\n"));
}

void TestLineFile::save_unmappableCharacter_movesFileToUtf8WithMark()
{
    const QString path = m_dir.filePath(u"unmappable.dat"_qs);
    LineFile file;
    file.lines() << u"a\u00E9b\u4E02c"_qs; // é and 丂 have no code in code page 932
    file.saveToFile(path);
    QCOMPARE(readBytes(path), QByteArray("\xEF\xBB\xBF"
                                         "a\xC3\xA9"
                                         "b\xE4\xB8\x82"
                                         "c\r\n"));
}

void TestLineFile::save_keepsPermissionBitsOfExistingFile()
{
    const QString path = m_dir.filePath(u"private.dat"_qs);
    writeBytes(path, "x\r\n");
    QVERIFY(::chmod(QFile::encodeName(path).constData(), 0640) == 0);
    LineFile file = LineFile::readIfExists(path);
    file.lines().append(u"y"_qs);
    file.saveToFile(path);
    struct stat st
    {
    };
    QCOMPARE(::stat(QFile::encodeName(path).constData(), &st), 0);
    QCOMPARE(st.st_mode & 07777, mode_t(0640));
    QCOMPARE(readBytes(path), QByteArray("x\r\ny\r\n"));
}

void TestLineFile::readIfExists_missingFile_isEmptyList()
{
    const QString path = m_dir.filePath(u"missing.dat"_qs);
    const LineFile file = LineFile::readIfExists(path);
    QVERIFY(file.lines().isEmpty());
    QCOMPARE(file.encoding(), TextEncoding::Ansi);
    QVERIFY(!QFile::exists(path));
}

void TestLineFile::load_missingFile_throwsOpenError()
{
    const QString path = m_dir.filePath(u"missing.dat"_qs);
    LineFile file;
    try {
        file.loadFromFile(path);
        QFAIL("no error");
    } catch (const EFileError &e) {
        QCOMPARE(e.message(), u"ファイル "_qs + path + u" は開けません。 "_qs + systemText(ENOENT) + u" "_qs);
    }
}

void TestLineFile::load_folderAtPath_throwsOpenError()
{
    const QString path = m_dir.filePath(u"folder.dat"_qs);
    QVERIFY(QDir().mkpath(path));
    try {
        LineFile::readIfExists(path);
        QFAIL("no error");
    } catch (const EFileError &e) {
        QVERIFY2(e.message().startsWith(u"ファイル "_qs + path + u" は開けません。 "_qs), qPrintable(e.message()));
        QVERIFY(e.message().size() > path.size() + 16);
    }
}

void TestLineFile::load_unreadableFile_throwsOpenError()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(u"date.dat"_qs);
    writeBytes(path, "2011/03/05\r\n");
    QVERIFY(::chmod(QFile::encodeName(path).constData(), 0) == 0);
    const Unprivileged user(dir.path());
    if (!user.ok()) {
        QSKIP("cannot give up root rights here");
    }
    try {
        LineFile::readIfExists(path);
        QFAIL("no error");
    } catch (const EFileError &e) {
        QCOMPARE(e.message(), u"ファイル "_qs + path + u" は開けません。 "_qs + systemText(EACCES) + u" "_qs);
    }
}

void TestLineFile::save_folderAtPath_throwsCreateError()
{
    const QString path = m_dir.filePath(u"folder2.dat"_qs);
    QVERIFY(QDir().mkpath(path));
    LineFile file;
    file.lines() << u"x"_qs;
    try {
        file.saveToFile(path);
        QFAIL("no error");
    } catch (const EFileError &e) {
        QVERIFY2(e.message().startsWith(u"ファイル \""_qs + path + u"\" を作成できません。"_qs),
                 qPrintable(e.message()));
    }
    QVERIFY(QFileInfo(path).isDir());
}

void TestLineFile::save_readOnlyFolder_throwsCreateErrorAndKeepsOldFile()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(u"date.dat"_qs);
    writeBytes(path, "2011/03/05\r\n");
    const Unprivileged user(dir.path());
    if (!user.ok()) {
        QSKIP("cannot give up root rights here");
    }
    QVERIFY(::chmod(QFile::encodeName(dir.path()).constData(), 0555) == 0);
    LineFile file = LineFile::readIfExists(path);
    file.lines().prepend(u"2011/04/02"_qs);
    try {
        file.saveToFile(path);
        QFAIL("no error");
    } catch (const EFileError &e) {
        QCOMPARE(e.message(), u"ファイル \""_qs + path + u"\" を作成できません。"_qs + systemText(EACCES));
    }
    QCOMPARE(readBytes(path), QByteArray("2011/03/05\r\n"));
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{u"date.dat"_qs});
    QVERIFY(::chmod(QFile::encodeName(dir.path()).constData(), 0755) == 0);
}

void TestLineFile::compare_order_data()
{
    QTest::addColumn<QString>("a");
    QTest::addColumn<QString>("b");
    QTest::addColumn<int>("sign"); // of CompareLinesDescending(a, b): negative = a comes first
    QTest::newRow("equal") << u"2011/03/05"_qs << u"2011/03/05"_qs << 0;
    QTest::newRow("newer date first") << u"2011/04/02"_qs << u"2011/03/05"_qs << -1;
    QTest::newRow("older date after") << u"2010/12/31"_qs << u"2011/01/01"_qs << 1;
    QTest::newRow("prefix is smaller") << u"2011/03/05"_qs << u"2011/03/05,\"x\""_qs << 1;
    QTest::newRow("empty is smallest") << QString() << u"0"_qs << 1;
    QTest::newRow("a-z count as capitals") << u"abc"_qs << u"ABC"_qs << 0;
    QTest::newRow("a counts as A, below [") << u"a"_qs << u"["_qs << 1;
    QTest::newRow("z counts as Z, below _") << u"z"_qs << u"_"_qs << 1;
    QTest::newRow("non-ASCII not folded") << u"\u00E9"_qs << u"\u00C9"_qs << -1;
    QTest::newRow("code units, not code points") << u"\uFF01"_qs << u"\U0001F600"_qs << -1;
    QTest::newRow("unpadded hand-written date") << u"2011/3/5"_qs << u"2011/12/01"_qs << -1;
}

void TestLineFile::compare_order()
{
    QFETCH(QString, a);
    QFETCH(QString, b);
    QFETCH(int, sign);
    const int result = CompareLinesDescending(a, b);
    QCOMPARE((result > 0) - (result < 0), sign);
    const int reverse = CompareLinesDescending(b, a);
    QCOMPARE((reverse > 0) - (reverse < 0), -sign);
}

void TestLineFile::sort_putsGreaterLinesFirst()
{
    QStringList lines{u"2010/12/31"_qs, u"2011/04/01"_qs, u"2011/03/05"_qs, u"1999/01/09"_qs, u"2011/03/05"_qs};
    sortLinesDescending(lines);
    QCOMPARE(lines,
             (QStringList{u"2011/04/01"_qs, u"2011/03/05"_qs, u"2011/03/05"_qs, u"2010/12/31"_qs, u"1999/01/09"_qs}));
}

QTEST_GUILESS_MAIN(TestLineFile)
#include "tst_linefile.moc"
