#include "fertilephase.h"

#include <QTest>

// One cycle from 2024-03-01 (cycle day 1), a token a day: "3640" a reading, "3640/f" with mucus,
// "3640/S+/+" with a positive test, "/f" mucus alone, "-" nothing. Mucus: t, o (Ø), f, S, S+;
// tests: - negative, + positive, ++ peak.
static const QDate CycleStart(2024, 3, 1);

static FertilityInput cycleOf(const QString &text)
{
    static const QStringList mucusLetters = {QStringLiteral("t"), QStringLiteral("o"), QStringLiteral("f"),
                                             QStringLiteral("S"), QStringLiteral("S+")};
    FertilityInput input;
    input.start = CycleStart;
    QDate day = CycleStart;
    for (const QString &token : text.split(u' ', Qt::SkipEmptyParts)) {
        const QStringList parts = token.split(u'/');
        if (!parts[0].isEmpty() && parts[0] != QLatin1String("-")) {
            input.readings.append({day, parts[0].toInt(), false});
        }
        DayRecord record;
        record.date = day;
        if (parts.size() > 1 && !parts[1].isEmpty()) {
            record.mucus = int(mucusLetters.indexOf(parts[1]));
        }
        if (parts.size() > 2) {
            record.lh = parts[2] == QLatin1String("-")   ? LhResult::Negative
                        : parts[2] == QLatin1String("+") ? LhResult::Positive
                                                         : LhResult::Peak;
        }
        if (record.mucus || record.lh) {
            input.days.append(record);
        }
        input.end = day;
        day = day.addDays(1);
    }
    return input;
}

static int cycleDay(const QDate &date)
{
    return date.isValid() ? int(CycleStart.daysTo(date)) + 1 : 0;
}

class TestFertilePhase : public QObject
{
    Q_OBJECT

private slots:
    void fertilePhase_data();
    void fertilePhase();
};

// Five days of bleeding with readings and no mucus observed.
#define BLEEDING "3640 3645 3650 3640 3645 "
// Twelve low readings without mucus, cover line 36.50.
#define LOWS12 BLEEDING "3650 3640 3645 3650 3640 3645 3650 "

void TestFertilePhase::fertilePhase_data()
{
    QTest::addColumn<QString>("records");
    QTest::addColumn<bool>("previousShift");
    QTest::addColumn<QList<int>>("earlierFirstHigher");
    QTest::addColumn<int>("today"); // cycle day, 0: the last day of the records
    QTest::addColumn<int>("lastPreFertile");
    QTest::addColumn<int>("fertileFrom");
    QTest::addColumn<int>("fertileUntil");
    QTest::addColumn<int>("mucusPeak");
    QTest::addColumn<int>("lhPositive");
    QTest::addColumn<QStringList>("startSigns");
    QTest::addColumn<QStringList>("endSigns");

    const QStringList mucus = {QStringLiteral("mucus")};
    const QStringList lh = {QStringLiteral("lh")};
    const QStringList temperature = {QStringLiteral("temperature")};
    const QStringList both = {QStringLiteral("mucus"), QStringLiteral("temperature")};
    // Peak on day 12 (S+ twice), found on day 15 by S, f, t; the shift confirmed on day 15 too.
    const QString peakWithShift = QStringLiteral(BLEEDING "3650/t 3640/t 3645/o 3650/f 3640/S 3645/S+ 3650/S+ "
                                                          "3670/S 3670/f 3675/t 3680/t 3680/S+");
    // A peak (S, day 9) found on day 12 is overtaken by S+ on days 13-14; that peak is found on day 17,
    // a day after the shift was confirmed (day 16).
    const QString restarted = QStringLiteral(BLEEDING "3650/t 3640/o 3645/f 3650/S 3640/f 3645/f 3650/o 3650/S+ "
                                                      "3670/S+ 3670/S 3675/f 3680/t");
    const QList<int> twelveFrom15 = {16, 17, 15, 16, 18, 17, 16, 15, 17, 16, 16, 17};

    QTest::newRow("mucus peak found on the day the shift is confirmed; later S+ does not reopen")
        << peakWithShift << true << QList<int>() << 0 << 5 << 6 << 15 << 12 << 0 << temperature << both;
    QTest::newRow("one observation short of finding the peak: still open")
        << peakWithShift << true << QList<int>() << 14 << 5 << 6 << 0 << 0 << 0 << temperature << QStringList();
    QTest::newRow("a peak overtaken by better mucus no longer counts with the shift")
        << restarted << true << QList<int>() << 16 << 5 << 6 << 0 << 0 << 0 << temperature << QStringList();
    QTest::newRow("the new peak found after the shift ends the phase")
        << restarted << true << QList<int>() << 0 << 5 << 6 << 17 << 14 << 0 << temperature << both;
    QTest::newRow("peak found before the shift: the shift ends the phase")
        << QStringLiteral(BLEEDING "3650/o 3640/f 3645/S 3650/S 3640/S+ 3645/S+ 3650/S 3640/f 3645/t 3670/t 3670/t "
                                   "3680/t")
        << true << QList<int>() << 0 << 5 << 6 << 17 << 11 << 0 << temperature << both;
    QTest::newRow("no mucus records: the third day after the confirmation ends it")
        << QStringLiteral(LOWS12 "3670 3670 3675 3680 3680 3680 3680") << true << QList<int>() << 18 << 5 << 6 << 18
        << 0 << 0 << temperature << temperature;
    QTest::newRow("no mucus records: the second day after it is still fertile")
        << QStringLiteral(LOWS12 "3670 3670 3675 3680 3680 3680 3680") << true << QList<int>() << 17 << 5 << 6 << 0 << 0
        << 0 << temperature << QStringList();
    QTest::newRow("a positive test begins the phase before the minus-8 day")
        << QStringLiteral(BLEEDING "3650/t 3640/t 3645/t/+ 3650/o/++ 3640/f") << true
        << QList<int>{17, 18, 17, 19, 18, 17, 18, 17, 19, 18, 17, 18} << 0 << 7 << 8 << 0 << 0 << 8 << lh
        << QStringList();
    QTest::newRow("mucus f on day 4 cuts the 5-day rule; Ø on day 3 does not")
        << QStringLiteral("3640 3645 3650/o 3640/f 3645/f 3650/S") << true << QList<int>() << 0 << 3 << 4 << 0 << 0 << 0
        << mucus << QStringList();
    QTest::newRow("first cycle: no pre-fertile days") << QStringLiteral(BLEEDING "3650 3640") << false << QList<int>()
                                                      << 0 << 0 << 1 << 0 << 0 << 0 << QStringList() << QStringList();
    QTest::newRow("previous cycle without a confirmed shift: none either")
        << QStringLiteral(BLEEDING "3650 3640") << false << twelveFrom15 << 0 << 0 << 1 << 0 << 0 << 0 << QStringList()
        << QStringList();
    QTest::newRow("twelve earlier cycles: the minus-8 day, later than day 5")
        << QStringLiteral(LOWS12) << true << twelveFrom15 << 0 << 7 << 8 << 0 << 0 << 0 << temperature << QStringList();
    QTest::newRow("eleven earlier cycles: the 5-day rule still holds")
        << QStringLiteral(LOWS12) << true << twelveFrom15.mid(1) << 0 << 5 << 6 << 0 << 0 << 0 << temperature
        << QStringList();
    QTest::newRow("eleven earlier cycles: a rise on day 12 leaves four pre-fertile days")
        << QStringLiteral(LOWS12) << true << QList<int>{16, 17, 16, 18, 12, 16, 17, 16, 15, 17, 16} << 0 << 4 << 5 << 0
        << 0 << 0 << temperature << QStringList();
    QTest::newRow("thirteen earlier cycles: the oldest no longer counts")
        << QStringLiteral(LOWS12) << true << (QList<int>{10} + twelveFrom15) << 0 << 7 << 8 << 0 << 0 << 0
        << temperature << QStringList();
}

void TestFertilePhase::fertilePhase()
{
    QFETCH(QString, records);
    QFETCH(bool, previousShift);
    QFETCH(QList<int>, earlierFirstHigher);
    QFETCH(int, today);

    FertilityInput input = cycleOf(records);
    input.previousShiftConfirmed = previousShift;
    input.earlierFirstHigherDays = earlierFirstHigher;
    const FertilityResult result = ::fertilePhase(input, today == 0 ? input.end : CycleStart.addDays(today - 1));

    QVERIFY(result.speaks);
    QTEST(cycleDay(result.lastPreFertile), "lastPreFertile");
    QTEST(cycleDay(result.fertileFrom), "fertileFrom");
    QTEST(cycleDay(result.fertileUntil), "fertileUntil");
    QTEST(cycleDay(result.mucusPeak), "mucusPeak");
    QTEST(cycleDay(result.lhPositive), "lhPositive");
    QTEST(result.startSigns, "startSigns");
    QTEST(result.endSigns, "endSigns");
}

QTEST_APPLESS_MAIN(TestFertilePhase)
#include "tst_fertilephase.moc"
