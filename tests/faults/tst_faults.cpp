// The data files under faults of the machine: a read-only data folder, a full disk, a data file that is a
// folder or cannot be read, and files far larger than anyone types by hand. Whatever happens, a save
// either completes or throws its error and leaves every file as it was.
#include "errors.h"
#include "memofile.h"
#include "periodfile.h"
#include "settings.h"

#include "../support/smalldisk.h"
#include "../support/unprivileged.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/stat.h>

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <functional>
#include <memory>

namespace {

QByteArray readBytes(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<unreadable>");
}

bool writeBytes(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(bytes) == bytes.size() && f.flush();
}

QString systemText(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}

// The three data files of a folder, as the program finds them beside itself.
struct DataFolder
{
    QString dir;
    QString date() const { return dir + u"/date.dat"_qs; }
    QString memo() const { return dir + u"/dateMemo.dat"_qs; }
    QString ini() const { return dir + u"/setting.ini"_qs; }

    bool fill() const
    {
        return writeBytes(date(), "2011/04/02\r\n2011/03/05\r\n2011/02/06\r\n") &&
               writeBytes(memo(), "2011/04/02,\"\x93\xaa\x92\xc9$$\x96\xf2\"\r\n2011/03/05,\"a\"\"b\"\r\n") &&
               writeBytes(ini(), "[Day Setting]\r\nMode=0\r\n[Mail Setting]\r\nHost=smtp.example.jp\r\n");
    }

    QList<QByteArray> contents() const { return {readBytes(date()), readBytes(memo()), readBytes(ini())}; }
};

// Every operation that writes a data file, each one that really changes its file.
enum class Save { AddPeriodStart, DeletePeriodStarts, SaveMemo, DeleteMemo, DeleteMemoLines, IniWrite };

void performSave(Save save, const DataFolder &folder)
{
    switch (save) {
    case Save::AddPeriodStart:
        AddPeriodStart(folder.date(), QDate(2011, 5, 1));
        return;
    case Save::DeletePeriodStarts: {
        QList<CheckedEntry> shown{{u"2011/04/02"_qs, false}, {u"2011/03/05"_qs, true}, {u"2011/02/06"_qs, false}};
        DeletePeriodStarts(folder.date(), shown);
        return;
    }
    case Save::SaveMemo:
        SaveMemo(folder.memo(), QDate(2011, 5, 1), u"新しいメモ\r\n二行目"_qs);
        return;
    case Save::DeleteMemo:
        DeleteMemo(folder.memo(), QDate(2011, 4, 2));
        return;
    case Save::DeleteMemoLines: {
        QList<CheckedEntry> shown{{u"2011/04/02"_qs, true}, {u"2011/03/05"_qs, false}};
        DeleteMemoLines(folder.memo(), shown);
        return;
    }
    case Save::IniWrite:
        IniFile(folder.ini()).writeInteger(u"Day Setting"_qs, u"Mode"_qs, 3);
        return;
    }
}

QString savedPath(Save save, const DataFolder &folder)
{
    switch (save) {
    case Save::AddPeriodStart:
    case Save::DeletePeriodStarts:
        return folder.date();
    case Save::SaveMemo:
    case Save::DeleteMemo:
    case Save::DeleteMemoLines:
        return folder.memo();
    case Save::IniWrite:
        break;
    }
    return folder.ini();
}

// The error box text of a refused save, with the system's reason where the program shows one.
QString refusedText(Save save, const DataFolder &folder, int error)
{
    const QString path = savedPath(save, folder);
    if (save == Save::IniWrite) {
        return QFileInfo(path).absoluteFilePath() + u" に書き込めません。"_qs + systemText(error);
    }
    return u"ファイル \""_qs + path + u"\" を作成できません。"_qs + systemText(error);
}

// Runs the save, which must be refused with exactly `expected`.
void expectRefused(Save save, const DataFolder &folder, const QString &expected)
{
    try {
        performSave(save, folder);
        QFAIL("the save was not refused");
    } catch (const AppError &e) {
        QCOMPARE(e.message(), expected);
    }
}

void addSaveRows(const QList<Save> &saves)
{
    QTest::addColumn<Save>("save");
    static const char *const names[] = {"AddPeriodStart", "DeletePeriodStarts", "SaveMemo",
                                        "DeleteMemo",     "DeleteMemoLines",    "IniFile write"};
    for (const Save save : saves) {
        QTest::newRow(names[int(save)]) << save;
    }
}

QStringList datesNewestFirst(const QDate &newest, int count, const QDate &leaveOut = QDate())
{
    QStringList lines;
    lines.reserve(count);
    for (QDate d = newest; lines.size() < count; d = d.addDays(-1)) {
        if (d != leaveOut) {
            lines.append(d.toString(u"yyyy/MM/dd"_qs));
        }
    }
    return lines;
}

QByteArray crlfBytes(const QStringList &lines)
{
    QByteArray bytes;
    for (const QString &line : lines) {
        bytes += line.toLatin1() + "\r\n";
    }
    return bytes;
}

// Generous bounds for 100,000 lines, also in a sanitizer build on a busy two-core machine; a quadratic
// slip takes minutes.
constexpr qint64 hugeFileMilliseconds = 30000;

} // namespace

Q_DECLARE_METATYPE(Save)

class TestFaults : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void readOnlyFolder_saveThrowsAndKeepsEveryFile_data();
    void readOnlyFolder_saveThrowsAndKeepsEveryFile();
    void readOnlyFolder_refusedDeletionKeepsTheShownList();
    void fullDisk_saveThrowsAndKeepsEveryFile_data();
    void fullDisk_saveThrowsAndKeepsEveryFile();
    void fileSizeLimit_saveThrowsAndKeepsOldFile();

    void dataFileIsFolder_operationsThrowOpenError();
    void dataFileUnreadable_operationsThrowAndNothingIsReplaced();
    void settingsFileIsFolder_readsDefaultsAndRefusesWrites();

    void hugeDateFile_addKeepsEveryLineInOrder();
    void hugeMemo_savesAndLoadsWhole();
    void hugeMemoFile_saveAndDeleteKeepEveryOtherLine();

private:
    std::unique_ptr<QTemporaryDir> m_tmp;
    DataFolder m_folder;
};

void TestFaults::init()
{
    m_tmp = std::make_unique<QTemporaryDir>();
    QVERIFY(m_tmp->isValid());
    m_folder = {m_tmp->path()};
}

void TestFaults::cleanup()
{
    // A failed check may leave the folder read-only; the temporary folder must still go.
    ::chmod(QFile::encodeName(m_tmp->path()).constData(), 0755);
    m_tmp.reset();
}

void TestFaults::readOnlyFolder_saveThrowsAndKeepsEveryFile_data()
{
    // AddPeriodStart and the settings file are refused the same way in their own module's tests.
    addSaveRows({Save::DeletePeriodStarts, Save::SaveMemo, Save::DeleteMemo, Save::DeleteMemoLines});
}

void TestFaults::readOnlyFolder_saveThrowsAndKeepsEveryFile()
{
    QFETCH(Save, save);
    QVERIFY(m_folder.fill());
    const QList<QByteArray> before = m_folder.contents();
    const Unprivileged user(m_folder.dir);
    if (!user.ok()) {
        QSKIP("cannot give up root rights here");
    }
    QVERIFY(::chmod(QFile::encodeName(m_folder.dir).constData(), 0555) == 0);

    expectRefused(save, m_folder, refusedText(save, m_folder, EACCES));

    QVERIFY(::chmod(QFile::encodeName(m_folder.dir).constData(), 0755) == 0);
    QCOMPARE(m_folder.contents(), before);
    QCOMPARE(QDir(m_folder.dir).entryList(QDir::Files | QDir::Hidden),
             (QStringList{u"date.dat"_qs, u"dateMemo.dat"_qs, u"setting.ini"_qs}));
}

void TestFaults::readOnlyFolder_refusedDeletionKeepsTheShownList()
{
    QVERIFY(m_folder.fill());
    const Unprivileged user(m_folder.dir);
    if (!user.ok()) {
        QSKIP("cannot give up root rights here");
    }
    QVERIFY(::chmod(QFile::encodeName(m_folder.dir).constData(), 0555) == 0);

    // The file stays as it was, so the list must too: a shortened list would no longer line up with it.
    const QList<CheckedEntry> days{{u"2011/04/02"_qs, true}, {u"2011/03/05"_qs, false}, {u"2011/02/06"_qs, true}};
    QList<CheckedEntry> shown = days;
    QVERIFY_THROWS_EXCEPTION(EFileError, DeletePeriodStarts(m_folder.date(), shown));
    QCOMPARE(shown.size(), days.size());
    for (qsizetype i = 0; i < days.size(); ++i) {
        QCOMPARE(shown[i].text, days[i].text);
        QCOMPARE(shown[i].checked, days[i].checked);
    }

    const QList<CheckedEntry> memoDays{{u"2011/04/02"_qs, true}, {u"2011/03/05"_qs, true}};
    shown = memoDays;
    QVERIFY_THROWS_EXCEPTION(EFileError, DeleteMemoLines(m_folder.memo(), shown));
    QCOMPARE(shown.size(), memoDays.size());
    QCOMPARE(shown[0].text, memoDays[0].text);
    QCOMPARE(shown[1].text, memoDays[1].text);
    QVERIFY(::chmod(QFile::encodeName(m_folder.dir).constData(), 0755) == 0);
}

void TestFaults::fullDisk_saveThrowsAndKeepsEveryFile_data()
{
    addSaveRows({Save::AddPeriodStart, Save::DeletePeriodStarts, Save::SaveMemo, Save::DeleteMemo,
                 Save::DeleteMemoLines, Save::IniWrite});
}

void TestFaults::fullDisk_saveThrowsAndKeepsEveryFile()
{
    QFETCH(Save, save);
    const QString mountPoint = m_tmp->filePath(u"disk"_qs);
    QVERIFY(QDir().mkpath(mountPoint));
    const SmallDisk disk(mountPoint, 64);
    if (!disk.mounted()) {
        QSKIP(qPrintable(disk.reason()));
    }
    const DataFolder folder{mountPoint};
    QVERIFY(folder.fill());
    const QList<QByteArray> before = folder.contents();
    const QString filler = mountPoint + u"/filler"_qs;
    QVERIFY(disk.fillUp(filler));

    expectRefused(save, folder, refusedText(save, folder, ENOSPC));
    QCOMPARE(folder.contents(), before);
    // No half-written temporary file is left to take up the space.
    QCOMPARE(QDir(mountPoint).entryList(QDir::Files | QDir::Hidden),
             (QStringList{u"date.dat"_qs, u"dateMemo.dat"_qs, u"filler"_qs, u"setting.ini"_qs}));

    // Once there is room again the same save goes through.
    QVERIFY(QFile::remove(filler));
    performSave(save, folder);
    const QString saved = savedPath(save, folder);
    const int which = saved == folder.date() ? 0 : saved == folder.memo() ? 1 : 2;
    QVERIFY(readBytes(saved) != before[which]);
}

// The same failure without root rights: a file size limit stops the write of the new file part-way, as
// a full disk does. Buffered writing used to report success and leave the cut-off file in place.
void TestFaults::fileSizeLimit_saveThrowsAndKeepsOldFile()
{
    const QByteArray old = crlfBytes(datesNewestFirst(QDate(2011, 4, 30), 20));
    QVERIFY(writeBytes(m_folder.date(), old));
    rlimit saved{};
    QVERIFY(::getrlimit(RLIMIT_FSIZE, &saved) == 0);
    const auto oldSignal = ::signal(SIGXFSZ, SIG_IGN);
    rlimit limited = saved;
    limited.rlim_cur = 100;
    QVERIFY(::setrlimit(RLIMIT_FSIZE, &limited) == 0);
    QString message;
    try {
        AddPeriodStart(m_folder.date(), QDate(2011, 5, 1));
    } catch (const EFileError &e) {
        message = e.message();
    }
    ::setrlimit(RLIMIT_FSIZE, &saved);
    ::signal(SIGXFSZ, oldSignal);

    QCOMPARE(message, u"ファイル \""_qs + m_folder.date() + u"\" を作成できません。"_qs + systemText(EFBIG));
    QCOMPARE(readBytes(m_folder.date()), old);
    QCOMPARE(QDir(m_folder.dir).entryList(QDir::Files | QDir::Hidden), QStringList{u"date.dat"_qs});
}

void TestFaults::dataFileIsFolder_operationsThrowOpenError()
{
    QVERIFY(QDir().mkpath(m_folder.date()));
    QVERIFY(QDir().mkpath(m_folder.memo()));
    const QString dateOpen = u"ファイル "_qs + m_folder.date() + u" は開けません。 "_qs + systemText(EISDIR) + u" "_qs;
    const QString memoOpen = u"ファイル "_qs + m_folder.memo() + u" は開けません。 "_qs + systemText(EISDIR) + u" "_qs;
    const auto expectOpenError = [](const std::function<void()> &operation, const QString &expected) {
        try {
            operation();
            QFAIL("no error");
        } catch (const EFileError &e) {
            QCOMPARE(e.message(), expected);
        }
    };
    QList<CheckedEntry> shown{{u"2011/03/05"_qs, true}};
    expectOpenError([&] { AddPeriodStart(m_folder.date(), QDate(2011, 3, 5)); }, dateOpen);
    expectOpenError([&] { DeletePeriodStarts(m_folder.date(), shown); }, dateOpen);
    expectOpenError([&] { LoadMemo(m_folder.memo(), QDate(2011, 3, 5)); }, memoOpen);
    expectOpenError([&] { SaveMemo(m_folder.memo(), QDate(2011, 3, 5), u"x"_qs); }, memoOpen);
    expectOpenError([&] { DeleteMemo(m_folder.memo(), QDate(2011, 3, 5)); }, memoOpen);
    expectOpenError([&] { DeleteMemoLines(m_folder.memo(), shown); }, memoOpen);
    QVERIFY(QFileInfo(m_folder.date()).isDir() && QFileInfo(m_folder.memo()).isDir());
    QVERIFY(QDir(m_folder.date()).isEmpty() && QDir(m_folder.memo()).isEmpty());
}

void TestFaults::dataFileUnreadable_operationsThrowAndNothingIsReplaced()
{
    QVERIFY(m_folder.fill());
    const QList<QByteArray> before = m_folder.contents();
    QVERIFY(::chmod(QFile::encodeName(m_folder.date()).constData(), 0200) == 0);
    QVERIFY(::chmod(QFile::encodeName(m_folder.memo()).constData(), 0200) == 0);
    {
        const Unprivileged user(m_folder.dir);
        if (!user.ok()) {
            QSKIP("cannot give up root rights here");
        }
        // A save over a file it could not read would keep only the new line: each one stops at the read.
        const QString denied = systemText(EACCES);
        for (Save save : {Save::AddPeriodStart, Save::DeletePeriodStarts, Save::SaveMemo, Save::DeleteMemo,
                          Save::DeleteMemoLines}) {
            const QString path = savedPath(save, m_folder);
            expectRefused(save, m_folder, u"ファイル "_qs + path + u" は開けません。 "_qs + denied + u" "_qs);
        }
        try {
            LoadMemo(m_folder.memo(), QDate(2011, 3, 5));
            QFAIL("no error");
        } catch (const EFileError &e) {
            QVERIFY2(e.message().contains(denied), qPrintable(e.message()));
        }
    }
    QCOMPARE(m_folder.contents(), before);
    QCOMPARE(QDir(m_folder.dir).entryList(QDir::Files | QDir::Hidden),
             (QStringList{u"date.dat"_qs, u"dateMemo.dat"_qs, u"setting.ini"_qs}));
}

void TestFaults::settingsFileIsFolder_readsDefaultsAndRefusesWrites()
{
    QVERIFY(QDir().mkpath(m_folder.ini()));
    IniFile ini(m_folder.ini());
    QCOMPARE(ini.readString(u"Mail Setting"_qs, u"Host"_qs, u"none"_qs), u"none"_qs);
    QCOMPARE(ini.readInteger(u"Day Setting"_qs, u"Mode"_qs, 4), 4);
    try {
        ini.writeInteger(u"Day Setting"_qs, u"Mode"_qs, 1);
        QFAIL("no error");
    } catch (const EIniFileError &e) {
        QCOMPARE(e.message(),
                 QFileInfo(m_folder.ini()).absoluteFilePath() + u" に書き込めません。"_qs + systemText(EISDIR));
    }
    QVERIFY(QFileInfo(m_folder.ini()).isDir());
    QVERIFY(QDir(m_folder.ini()).isEmpty());
}

void TestFaults::hugeDateFile_addKeepsEveryLineInOrder()
{
    const QDate newest(2020, 12, 31);
    const QDate missing(1900, 6, 15);
    const QStringList lines = datesNewestFirst(newest, 100000, missing);
    QVERIFY(writeBytes(m_folder.date(), crlfBytes(lines)));

    QElapsedTimer timer;
    timer.start();
    QCOMPARE(AddPeriodStart(m_folder.date(), missing), AddResult::Added);
    QCOMPARE(AddPeriodStart(m_folder.date(), newest), AddResult::AlreadyRegistered);
    QVERIFY2(timer.elapsed() < hugeFileMilliseconds, qPrintable(QString::number(timer.elapsed())));

    QCOMPARE(readBytes(m_folder.date()), crlfBytes(datesNewestFirst(newest, 100001)));
}

void TestFaults::hugeMemo_savesAndLoadsWhole()
{
    // Over 1 MB on disk: Japanese (two bytes each in code page 932), quotes, commas and all three kinds of
    // line break, which read back as CR LF.
    QString memo;
    QString expected;
    for (int i = 0; memo.size() < 750000; ++i) {
        const QString part = u"%1行目: 頭痛、\"薬\", 体温 36.%2℃"_qs.arg(i).arg(i % 10);
        const QString lineBreak = i % 3 == 0 ? u"\r\n"_qs : i % 3 == 1 ? u"\n"_qs : u"\r"_qs;
        memo += part + lineBreak;
        expected += part + u"\r\n"_qs;
    }
    QVERIFY(writeBytes(m_folder.memo(), "2011/03/06,\"next\"\r\n2011/03/04,\"before\"\r\n"));

    QElapsedTimer timer;
    timer.start();
    SaveMemo(m_folder.memo(), QDate(2011, 3, 5), memo);
    const std::optional<QString> back = LoadMemo(m_folder.memo(), QDate(2011, 3, 5));
    QVERIFY2(timer.elapsed() < hugeFileMilliseconds, qPrintable(QString::number(timer.elapsed())));

    QVERIFY(back.has_value());
    QCOMPARE(back->size(), expected.size());
    QVERIFY(*back == expected);
    QVERIFY2(QFileInfo(m_folder.memo()).size() > 1000000,
             qPrintable(QString::number(QFileInfo(m_folder.memo()).size())));
    QCOMPARE(LoadMemo(m_folder.memo(), QDate(2011, 3, 6)), std::optional<QString>(u"next"_qs));
    QCOMPARE(LoadMemo(m_folder.memo(), QDate(2011, 3, 4)), std::optional<QString>(u"before"_qs));
}

void TestFaults::hugeMemoFile_saveAndDeleteKeepEveryOtherLine()
{
    const QDate newest(2020, 12, 31);
    QStringList lines;
    for (const QString &day : datesNewestFirst(newest, 100000)) {
        lines.append(day + u",\"memo of "_qs + day + u"\""_qs);
    }
    QVERIFY(writeBytes(m_folder.memo(), crlfBytes(lines)));
    const QDate oldest = newest.addDays(-99999);
    const QDate added = newest.addDays(1);

    QElapsedTimer timer;
    timer.start();
    SaveMemo(m_folder.memo(), added, u"new"_qs);
    SaveMemo(m_folder.memo(), oldest, u"changed\r\nsecond line"_qs);
    QCOMPARE(LoadMemo(m_folder.memo(), oldest), std::optional<QString>(u"changed\r\nsecond line"_qs));
    DeleteMemo(m_folder.memo(), newest);
    QVERIFY2(timer.elapsed() < hugeFileMilliseconds, qPrintable(QString::number(timer.elapsed())));

    QStringList expected = lines;
    expected.removeFirst();
    expected.last() = oldest.toString(u"yyyy/MM/dd"_qs) + u",\"changed$$second line\""_qs;
    expected.prepend(added.toString(u"yyyy/MM/dd"_qs) + u",\"new\""_qs);
    QCOMPARE(readBytes(m_folder.memo()), crlfBytes(expected));
}

QTEST_GUILESS_MAIN(TestFaults)
#include "tst_faults.moc"
