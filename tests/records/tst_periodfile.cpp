#include "errors.h"
#include "periodfile.h"

#include "../support/files.h"
#include "../support/unprivileged.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <sys/stat.h>

#include <cerrno>
#include <cstring>

namespace {

QList<CheckedEntry> shownList(const QStringList &texts, const QList<int> &checked)
{
    QList<CheckedEntry> shown;
    for (qsizetype i = 0; i < texts.size(); ++i) {
        shown.append({texts[i], checked.contains(int(i))});
    }
    return shown;
}

QStringList texts(const QList<CheckedEntry> &shown)
{
    QStringList result;
    for (const CheckedEntry &e : shown) {
        result.append(e.text);
    }
    return result;
}

} // namespace

class TestPeriodFile : public QObject
{
    Q_OBJECT

private slots:
    void init();

    void add_toMissingFile_createsTwelveBytes();
    void add_insertsInNewestFirstOrder_data();
    void add_insertsInNewestFirstOrder();
    void add_duplicateText_leavesFileUnchanged();
    void add_unpaddedHandWrittenLine_doesNotStopRegistration();
    void add_utf8FileWithMark_isWrittenBackWithMark();
    void add_readOnlyFolder_throwsAndKeepsOldFile();

    void delete_removesCheckedLinesInOneWrite_data();
    void delete_removesCheckedLinesInOneWrite();
    void delete_allLines_leavesEmptyFile();
    void delete_missingFile_createsEmptyFile();
    void delete_fileShorterThanList_throwsIndexErrorAndDoesNotWrite();

private:
    std::unique_ptr<QTemporaryDir> m_dir;
    QString m_path;
};

void TestPeriodFile::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    m_path = m_dir->filePath(u"date.dat"_qs);
}

void TestPeriodFile::add_toMissingFile_createsTwelveBytes()
{
    QCOMPARE(AddPeriodStart(m_path, QDate(2011, 3, 5)), AddResult::Added);
    QCOMPARE(readBytes(m_path), QByteArray("2011/03/05\r\n"));
    QCOMPARE(readBytes(m_path).size(), 12);
}

void TestPeriodFile::add_insertsInNewestFirstOrder_data()
{
    QTest::addColumn<QByteArray>("before");
    QTest::addColumn<QDate>("day");
    QTest::addColumn<QByteArray>("after");
    QTest::newRow("between two") << QByteArray("2011/04/02\r\n2011/02/06\r\n") << QDate(2011, 3, 5)
                                 << QByteArray("2011/04/02\r\n2011/03/05\r\n2011/02/06\r\n");
    QTest::newRow("newest goes first") << QByteArray("2011/04/02\r\n") << QDate(2012, 1, 9)
                                       << QByteArray("2012/01/09\r\n2011/04/02\r\n");
    QTest::newRow("padded month and day") << QByteArray() << QDate(2011, 1, 9) << QByteArray("2011/01/09\r\n");
    QTest::newRow("hand-edited order is repaired") << QByteArray("2010/01/01\r\n2011/04/02") << QDate(2010, 6, 1)
                                                   << QByteArray("2011/04/02\r\n2010/06/01\r\n2010/01/01\r\n");
    QTest::newRow("year below 1000 is zero-padded")
        << QByteArray() << QDate(999, 12, 31) << QByteArray("0999/12/31\r\n");
}

void TestPeriodFile::add_insertsInNewestFirstOrder()
{
    QFETCH(QByteArray, before);
    QFETCH(QDate, day);
    QFETCH(QByteArray, after);
    writeBytes(m_path, before);
    QCOMPARE(AddPeriodStart(m_path, day), AddResult::Added);
    QCOMPARE(readBytes(m_path), after);
}

void TestPeriodFile::add_duplicateText_leavesFileUnchanged()
{
    // Out of order and without a final line end: a write would change the bytes.
    const QByteArray before("2011/02/06\r\n2011/03/05");
    writeBytes(m_path, before);
    QVERIFY(::chmod(QFile::encodeName(m_path).constData(), 0604) == 0);
    QCOMPARE(AddPeriodStart(m_path, QDate(2011, 3, 5)), AddResult::AlreadyRegistered);
    QCOMPARE(readBytes(m_path), before);
}

void TestPeriodFile::add_unpaddedHandWrittenLine_doesNotStopRegistration()
{
    writeBytes(m_path, "2011/3/5\r\n");
    QCOMPARE(AddPeriodStart(m_path, QDate(2011, 3, 5)), AddResult::Added);
    QCOMPARE(readBytes(m_path), QByteArray("2011/3/5\r\n2011/03/05\r\n"));
}

void TestPeriodFile::add_utf8FileWithMark_isWrittenBackWithMark()
{
    writeBytes(m_path, "\xEF\xBB\xBF"
                       "2011/04/02\r\n");
    QCOMPARE(AddPeriodStart(m_path, QDate(2011, 3, 5)), AddResult::Added);
    QCOMPARE(readBytes(m_path), QByteArray("\xEF\xBB\xBF"
                                           "2011/04/02\r\n2011/03/05\r\n"));
}

void TestPeriodFile::add_readOnlyFolder_throwsAndKeepsOldFile()
{
    writeBytes(m_path, "2011/04/02\r\n");
    const Unprivileged user(m_dir->path());
    if (!user.ok()) {
        QSKIP("cannot give up root rights here");
    }
    QVERIFY(::chmod(QFile::encodeName(m_dir->path()).constData(), 0555) == 0);
    try {
        AddPeriodStart(m_path, QDate(2011, 3, 5));
        QFAIL("no error");
    } catch (const EFileError &e) {
        QCOMPARE(e.message(), u"ファイル \""_qs + m_path + u"\" を作成できません。"_qs +
                                  QString::fromLocal8Bit(std::strerror(EACCES)));
    }
    QVERIFY(::chmod(QFile::encodeName(m_dir->path()).constData(), 0755) == 0);
    QCOMPARE(readBytes(m_path), QByteArray("2011/04/02\r\n"));
}

void TestPeriodFile::delete_removesCheckedLinesInOneWrite_data()
{
    QTest::addColumn<QStringList>("file");
    QTest::addColumn<QStringList>("shown");
    QTest::addColumn<QList<int>>("checked");
    QTest::addColumn<QStringList>("fileAfter");
    QTest::addColumn<QStringList>("shownAfter");
    const QStringList three{u"2011/04/02"_qs, u"2011/03/05"_qs, u"2011/02/06"_qs};
    QTest::newRow("two checked") << three << three << QList<int>{0, 2} << QStringList{u"2011/03/05"_qs}
                                 << QStringList{u"2011/03/05"_qs};
    QTest::newRow("adjacent checked keep the rest aligned")
        << three << three << QList<int>{1, 2} << QStringList{u"2011/04/02"_qs} << QStringList{u"2011/04/02"_qs};
    QTest::newRow("nothing checked rewrites unchanged") << three << three << QList<int>{} << three << three;
    QStringList changed = three;
    changed[1] = u"2011/03/06"_qs;
    QTest::newRow("text differing from the line stays in both")
        << changed << three << QList<int>{0, 1} << QStringList{u"2011/03/06"_qs, u"2011/02/06"_qs}
        << QStringList{u"2011/03/05"_qs, u"2011/02/06"_qs};
    QTest::newRow("file longer than the list")
        << three << three.first(2) << QList<int>{1} << QStringList{u"2011/04/02"_qs, u"2011/02/06"_qs}
        << QStringList{u"2011/04/02"_qs};
    QTest::newRow("a line that is not a date can be deleted")
        << QStringList{u"2011/04/02"_qs, u"garbage"_qs} << QStringList{u"2011/04/02"_qs, u"garbage"_qs} << QList<int>{1}
        << QStringList{u"2011/04/02"_qs} << QStringList{u"2011/04/02"_qs};
}

void TestPeriodFile::delete_removesCheckedLinesInOneWrite()
{
    QFETCH(QStringList, file);
    QFETCH(QStringList, shown);
    QFETCH(QList<int>, checked);
    QFETCH(QStringList, fileAfter);
    QFETCH(QStringList, shownAfter);
    writeBytes(m_path, file.join(u"\r\n"_qs).toLatin1()); // no final line end: the write adds it
    QList<CheckedEntry> list = shownList(shown, checked);
    DeletePeriodStarts(m_path, list);
    QCOMPARE(texts(list), shownAfter);
    QCOMPARE(readBytes(m_path), (fileAfter.join(u"\r\n"_qs) + u"\r\n"_qs).toLatin1());
}

void TestPeriodFile::delete_allLines_leavesEmptyFile()
{
    writeBytes(m_path, "2011/04/02\r\n2011/03/05\r\n");
    QList<CheckedEntry> list = shownList({u"2011/04/02"_qs, u"2011/03/05"_qs}, {0, 1});
    DeletePeriodStarts(m_path, list);
    QVERIFY(list.isEmpty());
    QVERIFY(QFile::exists(m_path));
    QCOMPARE(readBytes(m_path), QByteArray());
}

void TestPeriodFile::delete_missingFile_createsEmptyFile()
{
    QList<CheckedEntry> list;
    DeletePeriodStarts(m_path, list);
    QVERIFY(QFile::exists(m_path));
    QCOMPARE(readBytes(m_path), QByteArray());
}

void TestPeriodFile::delete_fileShorterThanList_throwsIndexErrorAndDoesNotWrite()
{
    // The file lost its last line behind the dialog; position 3 is visited first and is checked.
    const QByteArray before("2011/04/02\r\n2011/03/05\r\n2011/02/06");
    writeBytes(m_path, before);
    QList<CheckedEntry> list =
        shownList({u"2011/04/02"_qs, u"2011/03/05"_qs, u"2011/02/06"_qs, u"2011/01/08"_qs}, {1, 3});
    try {
        DeletePeriodStarts(m_path, list);
        QFAIL("no error");
    } catch (const EListError &e) {
        QCOMPARE(e.message(), u"リストのインデックスが範囲を超えています (3)"_qs);
    }
    QCOMPARE(readBytes(m_path), before);
    QCOMPARE(list.size(), 4);
}

QTEST_GUILESS_MAIN(TestPeriodFile)
#include "tst_periodfile.moc"
