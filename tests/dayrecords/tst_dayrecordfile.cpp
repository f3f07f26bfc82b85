#include "dayrecordfile.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

class TestDayRecordFile : public QObject
{
    Q_OBJECT

private slots:
    void lineReadAndWritten_data();
    void lineReadAndWritten();
    void store_keepsOrderAndUnreadableLines();
};

void TestDayRecordFile::lineReadAndWritten_data()
{
    QTest::addColumn<QByteArray>("line");
    QTest::addColumn<QByteArray>("written"); // empty: the line cannot be read and is kept byte for byte
    QTest::addColumn<QString>("what");       // a field the reader must have understood, as the record holds it

    QTest::newRow("each key in order") << QByteArray("2026/05/01,flow=heavy,pain=3,painkiller=1,"
                                                     "symptoms=cramps|anxious,mucus=4,lh=peak,pill=missed,"
                                                     "sex=protected,weight=300.0")
                                       << QByteArray() << "flow heavy";
    QTest::newRow("keys out of order") << QByteArray("2026/05/01,weight=20.0,sex=1,pill=taken,lh=negative,mucus=0,"
                                                     "symptoms=low|cramps,pain=1,flow=spotting")
                                       << QByteArray("2026/05/01,flow=spotting,pain=1,symptoms=cramps|low,mucus=0,"
                                                     "lh=negative,pill=taken,sex=1,weight=20.0")
                                       << "weight 200";
    QTest::newRow("light, positive") << QByteArray("2026/05/01,flow=light,lh=positive") << QByteArray()
                                     << "lh positive";
    QTest::newRow("medium, mucus 2") << QByteArray("2026/05/01,flow=medium,mucus=2") << QByteArray() << "mucus 2";
    QTest::newRow("whole weight") << QByteArray("2026/05/01,weight=52") << QByteArray() << "weight unknown";
    QTest::newRow("unknown keys in place") << QByteArray("2026/05/01,temp=x,flow=light,mood=happy")
                                           << QByteArray("2026/05/01,flow=light,temp=x,mood=happy") << "flow light";
    QTest::newRow("unknown values kept") << QByteArray("2026/05/01,flow=extreme,pain=4,painkiller=0,mucus=5,"
                                                       "weight=20.00,lh=,symptoms=cramps|acne")
                                         << QByteArray("2026/05/01,flow=extreme,pain=4,painkiller=0,"
                                                       "symptoms=cramps|acne,mucus=5,lh=,weight=20.00")
                                         << "symptoms cramps";
    QTest::newRow("unknown key before an unknown value")
        << QByteArray("2026/05/01,mood=calm,pain=9") << QByteArray("2026/05/01,pain=9,mood=calm") << "pain unknown";
    QTest::newRow("weight just below") << QByteArray("2026/05/01,weight=19.9") << QByteArray() << "weight unknown";
    QTest::newRow("weight just above") << QByteArray("2026/05/01,weight=300.1") << QByteArray() << "weight unknown";
    QTest::newRow("bad date") << QByteArray("2026/02/30,flow=heavy") << QByteArray() << "unreadable";
    QTest::newRow("date only") << QByteArray("2026/05/01") << QByteArray() << "unreadable";
    QTest::newRow("field without =") << QByteArray("2026/05/01,heavy") << QByteArray() << "unreadable";
    QTest::newRow("known key twice") << QByteArray("2026/05/01,flow=heavy,flow=light") << QByteArray() << "unreadable";
}

static QString describe(const DayFileContent &content, const QString &what)
{
    if (content.records.isEmpty()) {
        return content.unreadableLines.size() == 1 ? QStringLiteral("unreadable") : QStringLiteral("nothing");
    }
    const DayRecord &r = content.records.front();
    const QString field = what.section(u' ', 0, 0);
    QString value = QStringLiteral("unknown");
    if (field == QLatin1String("pain") && r.pain > 0) {
        value = QString::number(r.pain);
    } else if (field == QLatin1String("flow") && r.flow) {
        value = flowToken(*r.flow);
    } else if (field == QLatin1String("lh") && r.lh) {
        value = lhToken(*r.lh);
    } else if (field == QLatin1String("mucus") && r.mucus) {
        value = QString::number(*r.mucus);
    } else if (field == QLatin1String("weight") && r.weightTenths) {
        value = QString::number(*r.weightTenths);
    } else if (field == QLatin1String("symptoms") && !r.symptoms.isEmpty()) {
        value = r.symptoms.join(u'|');
    }
    return field + u' ' + value;
}

void TestDayRecordFile::lineReadAndWritten()
{
    QFETCH(QByteArray, line);
    QFETCH(QByteArray, written);
    QFETCH(QString, what);
    const DayFileContent content = parseDayFile(line + "\r\n");
    QCOMPARE(describe(content, what), what);
    QCOMPARE(formatDayFile(content), (written.isEmpty() ? line : written) + "\r\n");
    // What a save writes reads back as the same record.
    QCOMPARE(parseDayFile(formatDayFile(content)).records, content.records);
}

static QByteArray readAll(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

void TestDayRecordFile::store_keepsOrderAndUnreadableLines()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("dateDay.dat"));
    QVERIFY(readDayFile(path).records.isEmpty());
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("2026/05/03,pain=2\r\nbad "
               "line\r\n2026/05/04,note=\xff\r\n2026/05/01,flow=heavy\n\r\n2026/05/01,flow=light\r\n");
    file.close();
    QCOMPARE(readDayFile(path).unreadableLines,
             (QStringList{QStringLiteral("bad line"), QStringLiteral("2026/05/04,note=\uFFFD"),
                          QStringLiteral("2026/05/01,flow=light")}));

    // A month read alone gives what the whole file gives for it.
    const QList<DayRecord> all = readDayFile(path).records;
    QCOMPARE(readDayRecordsBetween(path, QDate(2026, 5, 1), QDate(2026, 5, 2)), all.first(1));
    QCOMPARE(readDayRecordsBetween(path, QDate(2026, 5, 2), QDate(2026, 5, 31)), all.last(1));

    DayRecord record;
    record.symptoms = {QStringLiteral("headache")};
    storeDayRecord(path, QDate(2026, 5, 2), record);
    QCOMPARE(readAll(path), QByteArray("2026/05/01,flow=heavy\r\n2026/05/02,symptoms=headache\r\n2026/05/03,pain=2\r\n"
                                       "bad line\r\n2026/05/04,note=\xff\r\n2026/05/01,flow=light\r\n"));

    storeDayRecord(path, QDate(2026, 5, 2), DayRecord{});
    deleteDayRecords(path, {QDate(2026, 5, 1), QDate(2026, 5, 3)});
    QCOMPARE(readAll(path), QByteArray("bad line\r\n2026/05/04,note=\xff\r\n2026/05/01,flow=light\r\n"));

    QFile::remove(path);
    storeDayRecord(path, QDate(2026, 5, 2), record);
    QCOMPARE(QFile::permissions(path), QFile::ReadOwner | QFile::WriteOwner | QFile::ReadUser | QFile::WriteUser);
}

QTEST_GUILESS_MAIN(TestDayRecordFile)
#include "tst_dayrecordfile.moc"
