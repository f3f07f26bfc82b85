#include "cyclehistory.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

namespace {

// First days from `first` on, each gap after the one before, as date.dat lists them (newest first).
QByteArray dateFile(const QDate &first, const QList<int> &gaps)
{
    QList<QDate> days = {first};
    for (const int gap : gaps) {
        days.append(days.last().addDays(gap));
    }
    QByteArray bytes;
    for (auto day = days.crbegin(); day != days.crend(); ++day) {
        bytes += day->toString(u"yyyy/MM/dd").toLatin1() + "\r\n";
    }
    return bytes;
}

// The values of the statistics as shown, separated by "|".
QStringList values(const char *texts)
{
    return QString::fromUtf8(texts).split(u'|');
}

} // namespace

class TestHistory final : public QObject
{
    Q_OBJECT

private slots:
    // Expected values were worked out apart from the program (Python's datetime and statistics.stdev).
    void statistics_ofDateLists_data()
    {
        QTest::addColumn<QByteArray>("dates");
        QTest::addColumn<QDate>("today");
        QTest::addColumn<int>("cycleLength");
        QTest::addColumn<int>("modeAverage");
        QTest::addColumn<QStringList>("values");

        QTest::newRow("one first day: no cycle yet") << dateFile(QDate(2024, 2, 29), {}) << QDate(2024, 3, 10) << 28
                                                     << 0 << values("0|-|-|-|-|-|10日|2024/03/28");
        QTest::newRow("two first days over a leap-year February")
            << dateFile(QDate(2024, 1, 31), {29}) << QDate(2024, 3, 1) << 29 << 29
            << values("1|29.0日|29日|29日|-|0日|1日|2024/03/29");
        QList<int> thirteen = {31, 26, 35, 28, 24, 41, 29, 30, 27, 33, 22, 38};
        QTest::newRow("thirteen irregular first days, one cycle across 2024/02/29")
            << dateFile(QDate(2023, 6, 14), thirteen) << QDate(2024, 6, 20) << 30 << 30
            << values("12|30.3日|22日|41日|5.6日|19日|8日|2024/07/12");
        QList<int> twoHundred;
        for (int i = 0; i < 199; ++i) {
            twoHundred.append(21 + i * 7 % 19);
        }
        QTest::newRow("two hundred first days, lengths 21 to 39")
            << dateFile(QDate(2000, 1, 1), twoHundred) << QDate(2016, 6, 1) << 28 << 30
            << values("199|30.0日|21日|39日|5.5日|18日|26日|2016/06/03");
    }

    void statistics_ofDateLists()
    {
        QFETCH(QByteArray, dates);
        QFETCH(QDate, today);
        QFETCH(int, cycleLength);
        QFETCH(int, modeAverage);
        QFETCH(QStringList, values);

        QTemporaryDir dir;
        QFile file(dir.filePath(u"date.dat"_qs));
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write(dates) == dates.size());
        file.close();
        const CycleHistory history = readCycleHistory(file.fileName(), dir.filePath(u"dateMemo.dat"_qs));
        const CycleStatistics stats = computeStatistics(history.firstDays, today, cycleLength);

        QStringList shown;
        for (const auto &[label, value] : statisticsTexts(stats)) {
            shown.append(value);
        }
        QCOMPARE(shown, values);
        QCOMPARE(stats.modeAverage, modeAverage);
        QCOMPARE(history.cycleLengths().size(), qsizetype(stats.cycleCount));
    }
};

QTEST_GUILESS_MAIN(TestHistory)

#include "tst_history.moc"
