#include "temperaturefile.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

class TestTemperatureFile : public QObject
{
    Q_OBJECT

private slots:
    void parseText_data();
    void parseText();
    void store_keepsUnreadableLinesAndOrder();
    void merge_storedReadingWins();
};

void TestTemperatureFile::parseText_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("expected"); // -1: refused
    QTest::newRow("two decimals") << "36.52" << 3652;
    QTest::newRow("four digits") << "3652" << 3652;
    QTest::newRow("one decimal") << "36.5" << 3650;
    QTest::newRow("whole degrees") << "37" << 3700;
    QTest::newRow("full-width") << QStringLiteral("３６．５２") << 3652;
    QTest::newRow("blanks") << " 36.52 " << 3652;
    QTest::newRow("lowest") << "34.00" << 3400;
    QTest::newRow("highest") << "42.00" << 4200;
    QTest::newRow("below range") << "33.99" << -1;
    QTest::newRow("above range") << "42.01" << -1;
    QTest::newRow("three decimals") << "36.525" << -1;
    QTest::newRow("comma") << "36,52" << -1;
    QTest::newRow("three digits") << "365" << -1;
    QTest::newRow("sign") << "-36.5" << -1;
    QTest::newRow("empty") << "" << -1;
}

void TestTemperatureFile::parseText()
{
    QFETCH(QString, text);
    QFETCH(int, expected);
    QCOMPARE(parseTemperatureText(text).value_or(-1), expected);
}

static QByteArray readAll(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

void TestTemperatureFile::store_keepsUnreadableLinesAndOrder()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("dateTemp.dat"));
    QVERIFY(readTemperatureFile(path).readings.isEmpty());
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("2024/05/03,36.70,x\r\nnot a reading\r\n2024/05/01,36.52\n\r\n2024/05/01,36.90\r\nbad\xff\r\n");
    file.close();

    const TemperatureFileContent content = readTemperatureFile(path);
    QCOMPARE(content.readings.size(), 2);
    QCOMPARE(content.readings[0], (TemperatureReading{QDate(2024, 5, 1), 3652, false}));
    QCOMPARE(content.readings[1], (TemperatureReading{QDate(2024, 5, 3), 3670, true}));
    QCOMPARE(content.unreadableLines.size(), 3); // the second line for a day counts as unreadable

    storeTemperatureReading(path, QDate(2024, 5, 2), TemperatureReading{QDate(), 3661, false});
    QCOMPARE(readAll(path), QByteArray("2024/05/01,36.52\r\n2024/05/02,36.61\r\n2024/05/03,36.70,x\r\n"
                                       "not a reading\r\n2024/05/01,36.90\r\nbad\xff\r\n"));

    storeTemperatureReading(path, QDate(2024, 5, 2), std::nullopt);
    deleteTemperatureReadings(path, {QDate(2024, 5, 1), QDate(2024, 5, 3)});
    QCOMPARE(readAll(path), QByteArray("not a reading\r\n2024/05/01,36.90\r\nbad\xff\r\n"));
}

void TestTemperatureFile::merge_storedReadingWins()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("dateTemp.dat"));
    storeTemperatureReading(path, QDate(2024, 5, 1), TemperatureReading{QDate(), 3652, false});
    QCOMPARE(QFile::permissions(path), QFile::ReadOwner | QFile::WriteOwner | QFile::ReadUser | QFile::WriteUser);
    const QList<TemperatureReading> incoming{
        {QDate(2024, 5, 1), 3660, false}, {QDate(2024, 5, 2), 3670, true}, {QDate(2024, 5, 4), 9999, false}};
    const QByteArray before = readAll(path);
    const TemperatureMerge dry = mergeTemperatureReadings(path, incoming, false);
    QCOMPARE(readAll(path), before);
    QCOMPARE(dry.added.size(), 1);
    QCOMPARE(dry.differing, QList<QDate>{QDate(2024, 5, 1)});
    mergeTemperatureReadings(path, incoming, true);
    QCOMPARE(readAll(path), QByteArray("2024/05/01,36.52\r\n2024/05/02,36.70,x\r\n"));
}

QTEST_GUILESS_MAIN(TestTemperatureFile)
#include "tst_temperaturefile.moc"
