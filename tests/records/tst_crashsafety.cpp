// A writer process saving date.dat, dateMemo.dat and setting.ini over and over is killed at random
// moments; each file must then still hold one whole version, never a torn or empty one.

#include "codepage.h"
#include "linefile.h"
#include "memofile.h"
#include "periodfile.h"
#include "settings.h"

#include <QCoreApplication>
#include <QFile>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>

#include <sys/stat.h>

#include <cstdio>

namespace {

const QDate firstDay(2000, 1, 1);
const QDate memoDay(2011, 3, 5);

// Large enough that a write takes a while, so kills land inside writes too.
QString memoPayload(int k)
{
    return QString::number(k) + u':' + QString(20000, u'あ');
}

QString iniPayload(int k)
{
    return QString::number(k) + u':' + QString(1500, u'い');
}

int versionOf(const QString &payload)
{
    return payload.section(u':', 0, 0).toInt();
}

QByteArray readBytes(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

[[noreturn]] void runWriter(const QString &dir)
{
    const QString datePath = dir + u"/date.dat"_qs;
    const QString memoPath = dir + u"/dateMemo.dat"_qs;
    const QString iniPath = dir + u"/setting.ini"_qs;
    const LineFile existing = LineFile::readIfExists(datePath);
    QDate next = firstDay.addDays(existing.lines().size());
    for (int k = 1;; ++k) {
        AddPeriodStart(datePath, next);
        next = next.addDays(1);
        SaveMemo(memoPath, memoDay, memoPayload(k));
        IniFile(iniPath).writeString(u"Crash"_qs, u"Value"_qs, iniPayload(k));
        if (k == 1) {
            std::fputs("ready\n", stdout);
            std::fflush(stdout);
        }
    }
}

} // namespace

class TestCrashSafety : public QObject
{
    Q_OBJECT

private slots:
    void killedWriter_leavesEveryFileWhole();
};

void TestCrashSafety::killedWriter_leavesEveryFileWhole()
{
    QTemporaryDir dir;
    const QString datePath = dir.filePath(u"date.dat"_qs);
    const QString memoPath = dir.filePath(u"dateMemo.dat"_qs);
    const QString iniPath = dir.filePath(u"setting.ini"_qs);
    qsizetype previousDays = 0;
    for (int round = 0; round < 12; ++round) {
        QProcess writer;
        writer.start(QCoreApplication::applicationFilePath(), {u"--writer"_qs, dir.path()});
        QVERIFY(writer.waitForStarted());
        QVERIFY2(writer.waitForReadyRead(10000), "the writer never finished its first round");
        QThread::msleep(QRandomGenerator::global()->bounded(1, 60));
        writer.kill(); // SIGKILL: no clean-up of any kind runs
        QVERIFY(writer.waitForFinished());
        QCOMPARE(writer.exitStatus(), QProcess::CrashExit);

        const LineFile dates = LineFile::readIfExists(datePath);
        const qsizetype days = dates.lines().size();
        QVERIFY2(days > previousDays, "date.dat lost registrations");
        QByteArray expectedDates;
        for (qsizetype i = days - 1; i >= 0; --i) {
            expectedDates += firstDay.addDays(i).toString(u"yyyy/MM/dd"_qs).toLatin1() + "\r\n";
        }
        QCOMPARE(readBytes(datePath), expectedDates);
        previousDays = days;

        const std::optional<QString> memo = LoadMemo(memoPath, memoDay);
        QVERIFY(memo.has_value());
        QCOMPARE(*memo, memoPayload(versionOf(*memo)));
        QCOMPARE(readBytes(memoPath), encodeAnsi(BuildMemoLine(memoDay, *memo)) + "\r\n");

        const QString value = IniFile(iniPath).readString(u"Crash"_qs, u"Value"_qs, QString());
        QCOMPARE(value, iniPayload(versionOf(value)));
        QCOMPARE(readBytes(iniPath), "[Crash]\r\nValue=" + encodeAnsi(value) + "\r\n");
        struct stat st
        {
        };
        QCOMPARE(::stat(QFile::encodeName(iniPath).constData(), &st), 0);
        QCOMPARE(st.st_mode & 0777, mode_t(0600));
    }
}

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    if (argc == 3 && qstrcmp(argv[1], "--writer") == 0) {
        runWriter(QString::fromLocal8Bit(argv[2]));
    }
    TestCrashSafety test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_crashsafety.moc"
