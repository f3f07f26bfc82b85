#include "datetext.h"
#include "errors.h"
#include "memofile.h"

#include "../support/files.h"

#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

namespace {

const QDate march5(2011, 3, 5);

} // namespace

class TestMemoFile : public QObject
{
    Q_OBJECT

private slots:
    void init();

    void split_fields_data();
    void split_fields();

    void save_toMissingFile_writesOneLine();
    void save_japaneseMemo_isCp932WithoutMark();
    void save_utf8FileWithMark_keepsMark();
    void saveThenLoad_readsBackWhole_data();
    void saveThenLoad_readsBackWhole();
    void save_sameDayTwice_replacesLine();
    void save_keepsNewestFirstOrder();
    void load_dayWithoutLine_isNothingAndWritesNothing();
    void find_matchesDateValueNotText();
    void find_lineThatIsNotADate_stopsAndWritesNothing();
    void find_stopsAtFirstMatch();

    void delete_dayWithoutMemo_rewritesUnchanged();
    void delete_missingFile_createsEmptyFile();
    void delete_removesOnlyTheDayAndDoesNotSort();
    void deleteLines_comparesFieldZeroAsText();
    void deleteLines_fileShorterThanList_throwsAndDoesNotWrite();
    void merge_data();
    void merge();
    void merge_20000MemosOfOneDay_wellUnderASecond();

private:
    std::unique_ptr<QTemporaryDir> m_dir;
    QString m_path;
};

void TestMemoFile::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    m_path = m_dir->filePath(u"dateMemo.dat"_qs);
}

void TestMemoFile::split_fields_data()
{
    QTest::addColumn<QString>("line");
    QTest::addColumn<QStringList>("fields");
    QTest::newRow("stored memo") << u"2011/03/05,\"abc\""_qs << QStringList{u"2011/03/05"_qs, u"abc"_qs};
    QTest::newRow("empty memo") << u"2011/03/05,\"\""_qs << QStringList{u"2011/03/05"_qs, QString()};
    QTest::newRow("comma inside quotes") << u"2011/03/05,\"a,b\""_qs << QStringList{u"2011/03/05"_qs, u"a,b"_qs};
    QTest::newRow("blanks inside quotes kept")
        << u"2011/03/05,\"  a b  \""_qs << QStringList{u"2011/03/05"_qs, u"  a b  "_qs};
    QTest::newRow("doubled quote is one")
        << u"2011/03/05,\"say \"\"hi\"\"\""_qs << QStringList{u"2011/03/05"_qs, u"say \"hi\""_qs};
    QTest::newRow("$$ stays as stored") << u"2011/03/05,\"one$$two\""_qs
                                        << QStringList{u"2011/03/05"_qs, u"one$$two"_qs};
    QTest::newRow("unclosed quote runs to the end")
        << u"2011/03/05,\"abc, d"_qs << QStringList{u"2011/03/05"_qs, u"abc, d"_qs};
    QTest::newRow("blanks around fields skipped")
        << u" \t2011/03/05 ,  \"x\"  "_qs << QStringList{u"2011/03/05"_qs, u"x"_qs};
    QTest::newRow("blank splits unquoted text") << u"a b,c"_qs << QStringList{u"a"_qs, u"b"_qs, u"c"_qs};
    QTest::newRow("comma at the end adds empty field") << u"a,"_qs << QStringList{u"a"_qs, QString()};
    QTest::newRow("comma then blanks at the end adds nothing") << u"a, "_qs << QStringList{u"a"_qs};
    QTest::newRow("two commas give an empty field") << u"a,,b"_qs << QStringList{u"a"_qs, QString(), u"b"_qs};
    QTest::newRow("leading comma") << u",x"_qs << QStringList{QString(), u"x"_qs};
    QTest::newRow("empty line") << QString() << QStringList();
    QTest::newRow("only blanks") << u" \t "_qs << QStringList();
    QTest::newRow("text right after closing quote") << u"\"a\"b"_qs << QStringList{u"a"_qs, u"b"_qs};
    QTest::newRow("extra fields kept") << u"2011/03/05,\"x\",y"_qs << QStringList{u"2011/03/05"_qs, u"x"_qs, u"y"_qs};
    QTest::newRow("no comma") << u"2011/03/05"_qs << QStringList{u"2011/03/05"_qs};
    QTest::newRow("NUL ends an unquoted line") << QStringLiteral("a\0b,c") << QStringList{u"a"_qs};
    QTest::newRow("NUL inside quotes is text")
        << QStringLiteral("\"a\0b\",c") << QStringList{QStringLiteral("a\0b"), u"c"_qs};
    QTest::newRow("quote inside unquoted field is text") << u"a\"b,c"_qs << QStringList{u"a\"b"_qs, u"c"_qs};
}

void TestMemoFile::split_fields()
{
    QFETCH(QString, line);
    QFETCH(QStringList, fields);
    QCOMPARE(splitMemoLine(line), fields);
}

void TestMemoFile::save_toMissingFile_writesOneLine()
{
    SaveMemo(m_path, march5, u"abc"_qs);
    QCOMPARE(readBytes(m_path), QByteArray("2011/03/05,\"abc\"\r\n"));
}

void TestMemoFile::save_japaneseMemo_isCp932WithoutMark()
{
    SaveMemo(m_path, march5, u"生理痛\r\n頭痛"_qs);
    QCOMPARE(readBytes(m_path), QByteArray("2011/03/05,\"\x90\xB6\x97\x9D\x92\xC9$$\x93\xAA\x92\xC9\"\r\n"));
    QCOMPARE(LoadMemo(m_path, march5), std::optional<QString>(u"生理痛\r\n頭痛"_qs));
}

void TestMemoFile::save_utf8FileWithMark_keepsMark()
{
    writeBytes(m_path, "\xEF\xBB\xBF"
                       "2011/04/01,\"\xE3\x81\x82\"\r\n");
    SaveMemo(m_path, march5, u"い"_qs);
    QCOMPARE(readBytes(m_path), QByteArray("\xEF\xBB\xBF"
                                           "2011/04/01,\"\xE3\x81\x82\"\r\n2011/03/05,\"\xE3\x81\x84\"\r\n"));
}

void TestMemoFile::saveThenLoad_readsBackWhole_data()
{
    QTest::addColumn<QString>("memo");
    QTest::addColumn<QString>("line");
    QTest::addColumn<QString>("loaded");
    QTest::newRow("two lines") << u"Line one\r\nLine two"_qs << u"2011/03/05,\"Line one$$Line two\""_qs
                               << u"Line one\r\nLine two"_qs;
    QTest::newRow("typed $$ becomes a break") << u"a$$b"_qs << u"2011/03/05,\"a$$b\""_qs << u"a\r\nb"_qs;
    QTest::newRow("three dollars") << u"$$$"_qs << u"2011/03/05,\"$$$\""_qs << u"\r\n$"_qs;
    QTest::newRow("comma and spaces") << u"  a, b  "_qs << u"2011/03/05,\"  a, b  \""_qs << u"  a, b  "_qs;
    QTest::newRow("empty") << QString() << u"2011/03/05,\"\""_qs << QString();
    QTest::newRow("only breaks") << u"\r\n\r\n"_qs << u"2011/03/05,\"$$$$\""_qs << u"\r\n\r\n"_qs;
    // Without doubling, the quote would end the field and cut the memo.
    QTest::newRow("double quotes") << u"say \"hi\", \"\""_qs << u"2011/03/05,\"say \"\"hi\"\", \"\"\"\"\""_qs
                                   << u"say \"hi\", \"\""_qs;
    // Without "$$", a lone CR or LF would break the file line in two.
    QTest::newRow("lone LF") << u"a\nb"_qs << u"2011/03/05,\"a$$b\""_qs << u"a\r\nb"_qs;
    QTest::newRow("lone CR") << u"a\rb"_qs << u"2011/03/05,\"a$$b\""_qs << u"a\r\nb"_qs;
    QTest::newRow("LF CR is two breaks") << u"a\n\rb"_qs << u"2011/03/05,\"a$$$$b\""_qs << u"a\r\n\r\nb"_qs;
}

void TestMemoFile::saveThenLoad_readsBackWhole()
{
    QFETCH(QString, memo);
    QFETCH(QString, line);
    QFETCH(QString, loaded);
    QCOMPARE(BuildMemoLine(march5, memo), line);
    SaveMemo(m_path, march5, memo);
    QCOMPARE(readBytes(m_path), line.toLatin1() + "\r\n");
    QCOMPARE(LoadMemo(m_path, march5), std::optional<QString>(loaded));
}

void TestMemoFile::save_sameDayTwice_replacesLine()
{
    SaveMemo(m_path, march5, u"first"_qs);
    SaveMemo(m_path, QDate(2011, 3, 6), u"other"_qs);
    SaveMemo(m_path, march5, u"second"_qs);
    QCOMPARE(readBytes(m_path), QByteArray("2011/03/06,\"other\"\r\n2011/03/05,\"second\"\r\n"));
}

void TestMemoFile::save_keepsNewestFirstOrder()
{
    SaveMemo(m_path, march5, u"a"_qs);
    SaveMemo(m_path, QDate(2011, 4, 1), u"b"_qs);
    SaveMemo(m_path, QDate(2010, 12, 31), u"c"_qs);
    QCOMPARE(readBytes(m_path), QByteArray("2011/04/01,\"b\"\r\n2011/03/05,\"a\"\r\n2010/12/31,\"c\"\r\n"));
}

void TestMemoFile::load_dayWithoutLine_isNothingAndWritesNothing()
{
    QCOMPARE(LoadMemo(m_path, march5), std::nullopt);
    QVERIFY(!QFile::exists(m_path));
    writeBytes(m_path, "2011/03/06,\"x\"\r\n");
    QCOMPARE(LoadMemo(m_path, march5), std::nullopt);
    // A line without a text field still marks a day with a memo: an empty one.
    writeBytes(m_path, "2011/03/05\r\n");
    QCOMPARE(LoadMemo(m_path, march5), std::optional<QString>(QString()));
}

void TestMemoFile::find_matchesDateValueNotText()
{
    const QStringList lines{u"2011/04/01,\"b\""_qs, u"2011/3/5,\"hand\""_qs};
    QCOMPARE(FindMemoLine(lines, march5), 1);
    QCOMPARE(FindMemoLine(lines, QDate(2011, 4, 1)), 0);
    QCOMPARE(FindMemoLine(lines, QDate(2011, 4, 2)), -1);
    QCOMPARE(FindMemoLine({}, march5), -1);

    writeBytes(m_path, "2011/3/5,\"hand\"\r\n");
    QCOMPARE(LoadMemo(m_path, march5), std::optional<QString>(u"hand"_qs));
    SaveMemo(m_path, march5, u"new"_qs);
    QCOMPARE(readBytes(m_path), QByteArray("2011/03/05,\"new\"\r\n"));
}

void TestMemoFile::find_lineThatIsNotADate_stopsAndWritesNothing()
{
    const QByteArray before("garbage,\"x\"\r\n2011/03/05,\"y\"\r\n");
    writeBytes(m_path, before);
    try {
        SaveMemo(m_path, march5, u"z"_qs);
        QFAIL("no error");
    } catch (const EConvertError &e) {
        QCOMPARE(e.message(), u"''garbage'' は日付ではありません"_qs);
    }
    QVERIFY_THROWS_EXCEPTION(EConvertError, DeleteMemo(m_path, march5));
    QCOMPARE(readBytes(m_path), before);
}

void TestMemoFile::find_stopsAtFirstMatch()
{
    const QStringList lines{u"2011/03/05,\"first\""_qs, u"2011/03/05,\"second\""_qs, u"garbage"_qs};
    QCOMPARE(FindMemoLine(lines, march5), 0);
}

void TestMemoFile::delete_dayWithoutMemo_rewritesUnchanged()
{
    writeBytes(m_path, "2011/04/01,\"b\"\r\n2011/03/04,\"a\"\r\n");
    DeleteMemo(m_path, march5);
    QCOMPARE(readBytes(m_path), QByteArray("2011/04/01,\"b\"\r\n2011/03/04,\"a\"\r\n"));
}

void TestMemoFile::delete_missingFile_createsEmptyFile()
{
    DeleteMemo(m_path, march5);
    QVERIFY(QFile::exists(m_path));
    QCOMPARE(readBytes(m_path), QByteArray());
    QFile::remove(m_path);
    QList<CheckedEntry> none;
    DeleteMemoLines(m_path, none);
    QCOMPARE(readBytes(m_path), QByteArray());
}

void TestMemoFile::delete_removesOnlyTheDayAndDoesNotSort()
{
    writeBytes(m_path, "2010/01/01,\"old\"\r\n2011/03/05,\"x\"\r\n2011/04/01,\"new\"");
    DeleteMemo(m_path, march5);
    QCOMPARE(readBytes(m_path), QByteArray("2010/01/01,\"old\"\r\n2011/04/01,\"new\"\r\n"));
}

void TestMemoFile::deleteLines_comparesFieldZeroAsText()
{
    writeBytes(m_path, "2011/04/01,\"b\"\r\n2011/3/5,\"hand\"\r\n2011/03/04,\"a\"\r\n");
    QList<CheckedEntry> shown{{u"2011/04/01"_qs, true}, {u"2011/03/05"_qs, true}, {u"2011/03/04"_qs, true}};
    DeleteMemoLines(m_path, shown);
    QCOMPARE(shown.size(), 1);
    QCOMPARE(shown[0].text, u"2011/03/05"_qs);
    QCOMPARE(readBytes(m_path), QByteArray("2011/3/5,\"hand\"\r\n"));
}

void TestMemoFile::deleteLines_fileShorterThanList_throwsAndDoesNotWrite()
{
    const QByteArray before("2011/04/01,\"b\"");
    writeBytes(m_path, before);
    QList<CheckedEntry> shown{{u"2011/04/01"_qs, true}, {u"2011/03/05"_qs, true}};
    try {
        DeleteMemoLines(m_path, shown);
        QFAIL("no error");
    } catch (const EListError &e) {
        QCOMPARE(e.message(), u"リストのインデックスが範囲を超えています (1)"_qs);
    }
    QCOMPARE(shown.size(), 2);
    QCOMPARE(readBytes(m_path), before);
}

// Memos merged into stored lines: "$$" stands for a line break inside a stored memo.
void TestMemoFile::merge_data()
{
    QTest::addColumn<QStringList>("stored");
    QTest::addColumn<QStringList>("incoming"); // "yyyy/mm/dd|text", "\n" for a line break
    QTest::addColumn<QStringList>("expected");
    QTest::addColumn<QList<int>>("counts"); // added, appended, there, refused

    const QString day = QStringLiteral("2026/05/01");
    const auto line = [&](const char *stored) {
        return day + QStringLiteral(",\"") + QString::fromUtf8(stored) + u'"';
    };
    const auto memo = [&](const char *text) { return day + u'|' + QString::fromUtf8(text); };
    QTest::newRow("a day without a memo gets one")
        << QStringList() << QStringList{memo("腹痛")} << QStringList{line("腹痛")} << QList<int>{1, 0, 0, 0};
    QTest::newRow("a different memo is appended after a line break")
        << QStringList{line("頭痛")} << QStringList{memo("腹痛")} << QStringList{line("頭痛$$腹痛")}
        << QList<int>{0, 1, 0, 0};
    QTest::newRow("the same memo is there") << QStringList{line("頭痛")} << QStringList{memo("頭痛")}
                                            << QStringList{line("頭痛")} << QList<int>{0, 0, 1, 0};
    QTest::newRow("a memo holding the text in its middle is not appended to")
        << QStringList{line("朝$$頭痛$$腹痛$$夜")} << QStringList{memo("頭痛\n腹痛")}
        << QStringList{line("朝$$頭痛$$腹痛$$夜")} << QList<int>{0, 0, 1, 0};
    QTest::newRow("a stored memo ending in $ takes no line break after it")
        << QStringList{line("100$")} << QStringList{memo("腹痛")} << QStringList{line("100$")}
        << QList<int>{0, 0, 0, 1};
}

void TestMemoFile::merge()
{
    QFETCH(QStringList, stored);
    QFETCH(QStringList, incoming);
    QFETCH(QStringList, expected);
    QFETCH(QList<int>, counts);
    QList<DayMemo> memos;
    for (const QString &entry : incoming) {
        memos.append({parseDateText(entry.section(u'|', 0, 0)), entry.section(u'|', 1)});
    }
    QStringList lines = stored;
    const MemoMerge merge = mergeMemoLines(lines, memos);
    QCOMPARE(lines, expected);
    QCOMPARE((QList<int>{merge.added, merge.appended, merge.there, int(merge.refused.size())}), counts);
}

void TestMemoFile::merge_20000MemosOfOneDay_wellUnderASecond()
{
    QList<DayMemo> memos;
    for (int i = 0; i < 20000; ++i) {
        memos.append({march5, QStringLiteral("メモ %1 行目\n続き %1").arg(i)});
    }
    QStringList lines;
    QElapsedTimer timer;
    timer.start();
    const MemoMerge merge = mergeMemoLines(lines, memos);
    const qint64 elapsed = timer.elapsed();
    QCOMPARE(merge.added + merge.appended, 20000);
    QCOMPARE(lines.size(), 1);
    QVERIFY2(elapsed < 1000, qPrintable(QString::number(elapsed)));
}

QTEST_GUILESS_MAIN(TestMemoFile)
#include "tst_memofile.moc"
