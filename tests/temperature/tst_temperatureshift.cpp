#include "temperaturechart.h"
#include "temperatureshift.h"

#include <QTest>

// Readings of one cycle from 2024-03-01 (cycle day 1) as text: "3640" a reading, "x3720" one left out,
// "-" a day without a reading.
static QList<TemperatureReading> cycleOf(const QString &text)
{
    QList<TemperatureReading> readings;
    QDate day(2024, 3, 1);
    for (QString token : text.split(u' ', Qt::SkipEmptyParts)) {
        if (token != QLatin1String("-")) {
            const bool excluded = token.startsWith(u'x');
            readings.append({day, token.remove(u'x').toInt(), excluded});
        }
        day = day.addDays(1);
    }
    return readings;
}

class TestTemperatureShift : public QObject
{
    Q_OBJECT

private slots:
    void findShift_data();
    void findShift();
    void riseDay_data();
    void riseDay();
    void learnedHighPhaseDays_data();
    void learnedHighPhaseDays();
};

// Six low readings, cover line 36.50.
#define LOWS "3640 3645 3650 3640 3645 3650 "

void TestTemperatureShift::findShift_data()
{
    QTest::addColumn<QString>("readings");
    QTest::addColumn<int>("firstHigherDay"); // cycle day, 0: none
    QTest::addColumn<bool>("confirmed");
    QTest::addColumn<int>("confirmedDay");
    QTest::addColumn<int>("rule");
    QTest::addColumn<int>("coverLine");

    QTest::newRow("regular rule: third 0.20 above")
        << QStringLiteral(LOWS "3660 3660 3670") << 7 << true << 9 << 0 << 3650;
    QTest::newRow("exception 1: third only 0.15 above, fourth above")
        << QStringLiteral(LOWS "3660 3660 3665 3655") << 7 << true << 10 << 1 << 3650;
    QTest::newRow("exception 1: third only 0.15 above, fourth at the line")
        << QStringLiteral(LOWS "3660 3660 3665 3650 3640 3640 3640") << 0 << false << 0 << 0 << 0;
    QTest::newRow("exception 2: second at the cover line")
        << QStringLiteral(LOWS "3660 3650 3665 3670") << 7 << true << 10 << 2 << 3650;
    QTest::newRow("exception 2: third below the cover line")
        << QStringLiteral(LOWS "3660 3665 3645 3675") << 7 << true << 10 << 2 << 3650;
    QTest::newRow("exception 2: fourth only 0.15 above")
        << QStringLiteral(LOWS "3660 3650 3665 3665 3640 3640 3640") << 0 << false << 0 << 0 << 0;
    QTest::newRow("both second and third low")
        << QStringLiteral(LOWS "3660 3650 3645 3700 3640 3640 3640") << 0 << false << 0 << 0 << 0;
    QTest::newRow("failed candidate, then a valid one")
        << QStringLiteral(LOWS "3660 3640 3640 3645 3650 3640 3645 3660 3665 3675") << 14 << true << 16 << 0 << 3650;
    QTest::newRow("too few readings before the rise")
        << QStringLiteral("3640 3645 3650 3640 3645 3700 3700 3700") << 0 << false << 0 << 0 << 0;
    QTest::newRow("waiting for the readings that confirm")
        << QStringLiteral(LOWS "3660 3665") << 7 << false << 0 << 0 << 3650;
    QTest::newRow("a fever left out no longer hides the shift")
        << QStringLiteral("3640 3645 x3720 3650 3640 3645 3650 3660 3660 3670") << 8 << true << 10 << 0 << 3650;
    QTest::newRow("the same fever counted hides it")
        << QStringLiteral("3640 3645 3720 3650 3640 3645 3650 3660 3660 3670 3640 3640 3640") << 0 << false << 0 << 0
        << 0;
    QTest::newRow("missing days count no reading")
        << QStringLiteral("3640 - 3645 3650 - - 3640 3645 3650 - 3660 - 3660 3670") << 11 << true << 14 << 0 << 3650;
    QTest::newRow("rounded to 0.05: 36.68 is 0.20 above 36.52")
        << QStringLiteral("3640 3645 3652 3640 3645 3650 3653 3656 3668") << 7 << true << 9 << 0 << 3650;
    QTest::newRow("rounded to 0.05: 36.52 is not above 36.50")
        << QStringLiteral("3640 3645 3650 3640 3645 3650 3652 3652 3652") << 0 << false << 0 << 0 << 0;
}

void TestTemperatureShift::findShift()
{
    QFETCH(QString, readings);
    QFETCH(int, firstHigherDay);
    QFETCH(bool, confirmed);
    QFETCH(int, confirmedDay);
    QFETCH(int, rule);
    QFETCH(int, coverLine);

    const QDate day1(2024, 3, 1);
    const ShiftResult shift = ::findShift(cycleOf(readings));
    QCOMPARE(shift.firstHigher ? int(day1.daysTo(*shift.firstHigher)) + 1 : 0, firstHigherDay);
    QCOMPARE(shift.confirmed, confirmed);
    QCOMPARE(shift.confirmed ? int(day1.daysTo(shift.confirmedOn)) + 1 : 0, confirmedDay);
    QCOMPARE(shift.rule, rule);
    QCOMPARE(shift.firstHigher ? shift.coverLine : 0, coverLine);
}

void TestTemperatureShift::riseDay_data()
{
    QTest::addColumn<QString>("readings");
    QTest::addColumn<int>("riseDay"); // cycle day

    QTest::newRow("a step at the first higher reading") << QStringLiteral(LOWS "3670 3675 3680 3675") << 7;
    QTest::newRow("a low reading just above the cover line, a morning missing, then the high level")
        << QStringLiteral("3620 3625 3630 3620 3635 3630 3640 - 3673 3675 3670 3680") << 8;
    QTest::newRow("two mornings missing before the high level: the middle one")
        << QStringLiteral(LOWS "- - 3670 3675 3680 3675") << 8;
    QTest::newRow("three mornings missing: the earlier of the two middles")
        << QStringLiteral(LOWS "- - - 3670 3675 3680 3675") << 8;
    QTest::newRow("a rise over three days splits in its middle")
        << QStringLiteral(LOWS "3655 3670 3685 3685 3690 3685") << 8;
    QTest::newRow("a fever she did not mark after the rise moves nothing")
        << QStringLiteral(LOWS "3670 3675 3680 3760 3770 3680 3675") << 7;
}

// One rise day for the chart, the high phase and the ovulation estimate: on or after the first morning
// after the last low reading, never on a low reading.
void TestTemperatureShift::riseDay()
{
    QFETCH(QString, readings);
    QFETCH(int, riseDay);

    const QDate day1(2024, 3, 1);
    const QList<TemperatureReading> cycle = cycleOf(readings);
    const CycleTemperature analysed = analyseCycle(day1, cycle.back().date, false, cycle);
    QVERIFY(analysed.shift.confirmed);
    const QDate rise = day1.addDays(riseDay - 1);
    QCOMPARE(analysed.shift.riseDay, rise);
    QCOMPARE(analysed.ovulation, rise.addDays(-1));
    QCOMPARE(analysed.highDays, int(rise.daysTo(analysed.end)) + 1);
    const auto figures = temperatureFigureTexts(analysed);
    const auto shown = std::find_if(figures.begin(), figures.end(),
                                    [](const auto &figure) { return figure.first == QStringLiteral("体温の上昇"); });
    QVERIFY(shown != figures.end());
    QVERIFY2(shown->second.startsWith(QStringLiteral("%1/%2（").arg(rise.month()).arg(rise.day())),
             qPrintable(shown->second));
}

void TestTemperatureShift::learnedHighPhaseDays_data()
{
    QTest::addColumn<QList<int>>("riseToStart"); // days from the rise to the next first day, oldest first
    QTest::addColumn<int>("learned");

    QTest::newRow("a rise 25 days before the next first day: the default") << QList<int>{25} << DefaultHighPhaseDays;
    QTest::newRow("13, 14, 15 learn 14") << QList<int>{13, 14, 15} << 14;
    QTest::newRow("20 days is taken") << QList<int>{20} << 20;
    QTest::newRow("21 days is not") << QList<int>{21} << DefaultHighPhaseDays;
}

void TestTemperatureShift::learnedHighPhaseDays()
{
    QFETCH(QList<int>, riseToStart);
    QFETCH(int, learned);

    QList<CycleTemperature> cycles;
    QDate start(2024, 1, 1);
    for (const int days : riseToStart) {
        CycleTemperature cycle;
        cycle.start = start;
        cycle.end = start.addDays(29);
        cycle.closed = true;
        cycle.shift.confirmed = true;
        cycle.shift.riseDay = cycle.end.addDays(1 - days);
        cycles.append(cycle);
        start = start.addDays(30);
    }
    QCOMPARE(::learnedHighPhaseDays(cycles), learned);
}

QTEST_GUILESS_MAIN(TestTemperatureShift)
#include "tst_temperatureshift.moc"
