// What the data files held survives every save, byte for byte where nobody changed it, and nobody but
// the user can read them: typed characters the code page lacks, files written by other editors, lines
// that do not decode, blank lines, file modes, FIFOs and absurdly long lines.
#include "datetext.h"
#include "errors.h"
#include "linefile.h"
#include "memofile.h"
#include "periodfile.h"
#include "settings.h"

#include "../support/files.h"

#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QTest>

#include <sys/stat.h>

#include <memory>

namespace {

QByteArray utf8Lines(const QStringList &lines)
{
    QByteArray bytes;
    for (const QString &line : lines) {
        bytes += line.toUtf8() + "\r\n";
    }
    return bytes;
}

int modeOf(const QString &path)
{
    struct stat info = {};
    return ::stat(QFile::encodeName(path).constData(), &info) == 0 ? int(info.st_mode & 07777) : -1;
}

// Runs f, which must throw an AppError; its message, or a note that nothing was thrown.
template<typename F> QString errorOf(F f)
{
    try {
        f();
    } catch (const AppError &e) {
        return e.message();
    }
    return u"<no error>"_qs;
}

} // namespace

class TestKeepRecords : public QObject
{
    Q_OBJECT

private slots:
    void init();

    void saveMemo_keepsWhatTheFileHeld_data();
    void saveMemo_keepsWhatTheFileHeld();
    void blankMemoLines_areSkippedByReadersAndKeptByWriters();
    void sortedLine_neverMakesTheFileReadAsAnotherEncoding();
    void newDataFiles_areOwnerOnly_existingKeepTheirBits();
    void nonRegularFiles_areRefusedAtOnce();
    void longLine_isRejectedQuicklyAndQuotedShort();

private:
    std::unique_ptr<QTemporaryDir> m_dir;
    QString m_memo;
};

void TestKeepRecords::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    m_memo = m_dir->filePath(u"dateMemo.dat"_qs);
}

void TestKeepRecords::saveMemo_keepsWhatTheFileHeld_data()
{
    QTest::addColumn<QByteArray>("before");
    QTest::addColumn<QDate>("day");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QByteArray>("after");

    // ≒ (8790) and 纊 (ED40) have a second code that a plain re-encoding would choose.
    const QByteArray nec = "2011/04/02,\"\x87\x90\xED\x40\"\r\n";
    const QByteArray seiri = "2011/03/05,\"\x90\xB6\x97\x9D\"\r\n";
    QTest::newRow("code page 932 stays byte for byte")
        << nec + seiri << QDate(2011, 3, 20) << u"通院"_qs << nec + "2011/03/20,\"\x92\xCA\x89\x40\"\r\n" + seiri;
    QTest::newRow("wave dash typed into a 932 file") << seiri << QDate(2011, 4, 1) << u"10時〜12時"_qs
                                                     << "2011/04/01,\"10\x8E\x9E\x81\x60"
                                                        "12\x8E\x9E\"\r\n" +
                                                            seiri;
    QTest::newRow("emoji moves the file to UTF-8 with a mark")
        << seiri << QDate(2011, 4, 1) << u"腹痛\U0001F622"_qs
        << "\xEF\xBB\xBF" + utf8Lines({u"2011/04/01,\"腹痛\U0001F622\""_qs, u"2011/03/05,\"生理\""_qs});
    // As a Linux text editor saves the file: UTF-8, no mark.
    const QStringList three{u"2011/04/02,\"頭痛$$早めに寝る\""_qs, u"2011/03/05,\"10時〜12時 通院\""_qs,
                            u"2011/02/06,\"𠮷野家 ¥500\""_qs};
    QTest::newRow("mark-less UTF-8 keeps three memos and takes a fourth")
        << utf8Lines(three) << QDate(2011, 3, 1) << u"体温 36.5℃"_qs
        << utf8Lines({three[0], three[1], u"2011/03/01,\"体温 36.5℃\""_qs, three[2]});
    const QByteArray broken = "2011/04/02,\"\x82\"\r\n";
    QTest::newRow("undecodable line keeps its bytes")
        << broken + seiri << QDate(2011, 3, 20) << u"x"_qs << broken + "2011/03/20,\"x\"\r\n" + seiri;
    QTest::newRow("undecodable line keeps its bytes in a file moved to UTF-8")
        << broken + seiri << QDate(2011, 3, 20) << u"©"_qs
        << "\xEF\xBB\xBF" + broken + utf8Lines({u"2011/03/20,\"©\""_qs, u"2011/03/05,\"生理\""_qs});
    // Cut off inside a character at the end of the line: nothing may be held back as if more followed.
    const QByteArray cut = "\xEF\xBB\xBF"
                           "2011/04/02,\"x\"\xE3\x81\r\n";
    QTest::newRow("UTF-8 line ending inside a character keeps its bytes")
        << cut << QDate(2011, 3, 20) << u"c"_qs << cut + "2011/03/20,\"c\"\r\n";
    QTest::newRow("blank lines keep their places")
        << QByteArray("2011/04/02,\"a\"\r\n\r\n2011/03/05,\"b\"\r\n \t\r\n") << QDate(2011, 3, 20) << u"c"_qs
        << QByteArray("2011/04/02,\"a\"\r\n\r\n2011/03/20,\"c\"\r\n \t\r\n2011/03/05,\"b\"\r\n");
}

void TestKeepRecords::saveMemo_keepsWhatTheFileHeld()
{
    QFETCH(QByteArray, before);
    QFETCH(QDate, day);
    QFETCH(QString, text);
    QFETCH(QByteArray, after);
    writeBytes(m_memo, before);
    SaveMemo(m_memo, day, text);
    QCOMPARE(readBytes(m_memo), after);
    // What was typed reads back as typed, or as the code page's twin of each character.
    const QString back = LoadMemo(m_memo, day).value_or(u"<none>"_qs);
    QCOMPARE(back, text == u"10時〜12時"_qs ? u"10時～12時"_qs : text);
}

void TestKeepRecords::blankMemoLines_areSkippedByReadersAndKeptByWriters()
{
    const QByteArray before("\r\n2011/04/02,\"a\"\r\n   \r\n2011/03/05,\"b\"\r\n");
    writeBytes(m_memo, before);
    QCOMPARE(ReadMemoDays(m_memo), (QList<QDate>{QDate(2011, 4, 2), QDate(2011, 3, 5)}));
    QCOMPARE(LoadMemo(m_memo, QDate(2011, 3, 5)), std::optional<QString>(u"b"_qs));
    QCOMPARE(LoadMemo(m_memo, QDate(2011, 1, 1)), std::nullopt);

    // The list shows the two memo days only; its position 1 is the file's line 3.
    QList<CheckedEntry> shown{{u"2011/04/02"_qs, false}, {u"2011/03/05"_qs, true}};
    DeleteMemoLines(m_memo, shown);
    QCOMPARE(shown.size(), 1);
    QCOMPARE(readBytes(m_memo), QByteArray("\r\n2011/04/02,\"a\"\r\n   \r\n"));

    DeleteMemo(m_memo, QDate(2011, 4, 2));
    QCOMPARE(readBytes(m_memo), QByteArray("\r\n   \r\n"));
    QCOMPARE(ReadMemoDays(m_memo), QList<QDate>());
}

// A hand-edited code page 932 line whose bytes begin like a UTF-8 mark, sorted to the front: written as
// code page 932 the file would be read back as UTF-8. It becomes UTF-8 with a mark and reads the same.
void TestKeepRecords::sortedLine_neverMakesTheFileReadAsAnotherEncoding()
{
    const QString date = m_dir->filePath(u"date.dat"_qs);
    writeBytes(date, "2011/03/05\r\n\xEF\xBB\xBF\r\n");
    const QStringList before = LineFile::readIfExists(date).lines();
    AddPeriodStart(date, QDate(2011, 4, 2));
    const LineFile after = LineFile::readIfExists(date);
    QCOMPARE(after.encoding(), TextEncoding::Utf8);
    QCOMPARE(after.lines(), (QStringList{before[1], u"2011/04/02"_qs, u"2011/03/05"_qs}));
}

void TestKeepRecords::newDataFiles_areOwnerOnly_existingKeepTheirBits()
{
    const mode_t oldMask = ::umask(022);
    const QString date = m_dir->filePath(u"date.dat"_qs);
    const QString ini = m_dir->filePath(u"setting.ini"_qs);
    AddPeriodStart(date, QDate(2011, 3, 5));
    SaveMemo(m_memo, QDate(2011, 3, 5), u"a"_qs);
    IniFile(ini).writeInteger(u"Day Setting"_qs, u"Daymode"_qs, 2);
    QCOMPARE(modeOf(date), 0600);
    QCOMPARE(modeOf(m_memo), 0600);
    QCOMPARE(modeOf(ini), 0600);

    // Files the user opened up keep their bits, until the password goes into the settings.
    for (const QString &path : {date, m_memo, ini}) {
        QVERIFY(::chmod(QFile::encodeName(path).constData(), 0644) == 0);
    }
    AddPeriodStart(date, QDate(2011, 4, 2));
    SaveMemo(m_memo, QDate(2011, 4, 2), u"b"_qs);
    IniFile(ini).writeString(u"Mail Setting"_qs, u"SMTP"_qs, u"smtp.example.jp"_qs);
    QCOMPARE(modeOf(date), 0644);
    QCOMPARE(modeOf(m_memo), 0644);
    QCOMPARE(modeOf(ini), 0644);
    IniFile(ini).writeString(u"mail setting"_qs, u"pass"_qs, u"VkVNeGNqTT0="_qs);
    QCOMPARE(modeOf(ini), 0600);
    ::umask(oldMask);
}

// A FIFO would make a plain open wait for a writer for ever; each operation must fail at once instead,
// naming the file, and leave the FIFO where it is.
void TestKeepRecords::nonRegularFiles_areRefusedAtOnce()
{
    const QString date = m_dir->filePath(u"date.dat"_qs);
    const QString ini = m_dir->filePath(u"setting.ini"_qs);
    for (const QString &path : {date, m_memo, ini}) {
        QVERIFY(::mkfifo(QFile::encodeName(path).constData(), 0600) == 0);
    }
    QElapsedTimer timer;
    timer.start();
    const QString reason = u"通常のファイルではありません"_qs;
    QCOMPARE(errorOf([&] { AddPeriodStart(date, QDate(2011, 3, 5)); }),
             u"ファイル "_qs + date + u" は開けません。 "_qs + reason + u" "_qs);
    QCOMPARE(errorOf([&] { ReadMemoDays(m_memo); }),
             u"ファイル "_qs + m_memo + u" は開けません。 "_qs + reason + u" "_qs);
    QCOMPARE(errorOf([&] { SaveMemo(m_memo, QDate(2011, 3, 5), u"a"_qs); }),
             u"ファイル "_qs + m_memo + u" は開けません。 "_qs + reason + u" "_qs);
    // Settings are read as if the file were missing, and writes are refused with the reason.
    QCOMPARE(IniFile(ini).readInteger(u"Day Setting"_qs, u"Daymode"_qs, 4), 4);
    QCOMPARE(errorOf([&] { IniFile(ini).writeInteger(u"Day Setting"_qs, u"Daymode"_qs, 1); }),
             ini + u" に書き込めません。"_qs + reason);
    QVERIFY(timer.elapsed() < 5000);
    for (const QString &path : {date, m_memo, ini}) {
        struct stat info = {};
        QVERIFY(::lstat(QFile::encodeName(path).constData(), &info) == 0 && S_ISFIFO(info.st_mode));
    }
}

// One 10 MB line in date.dat: read, rejected as a date in linear time, and quoted in the message with
// its first 100 characters only.
void TestKeepRecords::longLine_isRejectedQuicklyAndQuotedShort()
{
    const QString date = m_dir->filePath(u"date.dat"_qs);
    const QByteArray line = "2011/03/05" + QByteArray(10 * 1024 * 1024, '7');
    writeBytes(date, line + "\r\n");
    QElapsedTimer timer;
    timer.start();
    const LineFile file = LineFile::readIfExists(date);
    QCOMPARE(file.lines().size(), 1);
    const QString message = errorOf([&] { parseDateText(file.lines().front()); });
    // Generous for a sanitizer build on a busy machine; a quadratic slip takes minutes.
    QVERIFY2(timer.elapsed() < 10000, qPrintable(QString::number(timer.elapsed())));
    QCOMPARE(message, u"''"_qs + QString::fromLatin1(line.first(100)) + u"…'' は日付ではありません"_qs);

    // Exactly 100 characters are quoted whole; a surrogate pair is never cut apart.
    const QString hundred(100, u'x');
    QCOMPARE(quotedValue(hundred), hundred);
    const QString pairs = QString(99, u'a') + u"𠮷𠮷"_qs;
    QCOMPARE(quotedValue(pairs), QString(99, u'a') + u"𠮷…"_qs);
}

QTEST_GUILESS_MAIN(TestKeepRecords)
#include "tst_keeprecords.moc"
