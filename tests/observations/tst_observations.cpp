// A period's length, the observations against the standard ranges and the PMS forecast, each as one
// table of plain records in and plain values out.

#include "periodobservations.h"
#include "symptompattern.h"

#include <QTest>

namespace {

const QDate Start(2025, 1, 6);

// One letter per day from the first day on: H heavy, M medium, L light, S spotting, _ nothing recorded.
QList<DayRecord> flowDays(const QDate &first, const QString &days)
{
    QList<DayRecord> records;
    for (qsizetype i = 0; i < days.size(); ++i) {
        const QString flows = QStringLiteral("SLMH");
        const qsizetype flow = flows.indexOf(days[i]);
        if (flow >= 0) {
            DayRecord record;
            record.date = first.addDays(i);
            record.flow = Flow(flow);
            records.append(record);
        }
    }
    return records;
}

QList<QDate> firstDaysFrom(const QDate &first, const QList<int> &lengths)
{
    QList<QDate> days = {first};
    for (const int length : lengths) {
        days.append(days.last().addDays(length));
    }
    return days;
}

} // namespace

class TestObservations final : public QObject
{
    Q_OBJECT

private slots:
    void periodLength_ofBleedingDays_data()
    {
        QTest::addColumn<QString>("days");
        QTest::addColumn<int>("nextFirstDay"); // days after the first day; 0: the cycle still runs
        QTest::addColumn<int>("expected");     // 0: unknown

        QTest::newRow("no records: unknown, not guessed") << QString() << 0 << 0;
        QTest::newRow("only spotting: unknown") << QStringLiteral("SSS") << 0 << 0;
        QTest::newRow("five days in a row") << QStringLiteral("HHMLL") << 0 << 5;
        QTest::newRow("first day unrecorded, bleeding from the next") << QStringLiteral("_MML") << 0 << 4;
        QTest::newRow("a gap of one day joins") << QStringLiteral("HM_LL") << 0 << 5;
        QTest::newRow("a gap of two days ends it") << QStringLiteral("HM__LL") << 0 << 2;
        QTest::newRow("bleeding only after a two-day gap: unknown") << QStringLiteral("___MM") << 0 << 0;
        QTest::newRow("spotting inside counts") << QStringLiteral("HSSL") << 0 << 4;
        QTest::newRow("spotting bridges to bleeding after a gap") << QStringLiteral("HS_L") << 0 << 4;
        QTest::newRow("spotting after does not count") << QStringLiteral("HMSS") << 0 << 2;
        QTest::newRow("a 15-day run") << QStringLiteral("HHHHHMMMMMLLLLL") << 0 << 15;
        QTest::newRow("a 16-day run is cut at 15") << QStringLiteral("HHHHHMMMMMLLLLLL") << 0 << 15;
        QTest::newRow("never into the next cycle") << QStringLiteral("HHMMLL") << 4 << 4;
    }
    void periodLength_ofBleedingDays()
    {
        QFETCH(QString, days);
        QFETCH(int, nextFirstDay);
        QFETCH(int, expected);
        const std::optional<int> length =
            periodLength(Start, flowDays(Start, days), nextFirstDay > 0 ? Start.addDays(nextFirstDay) : QDate());
        QCOMPARE(length, expected > 0 ? std::optional<int>(expected) : std::nullopt);
    }

    void observations_againstStandardRanges_data()
    {
        QTest::addColumn<QList<int>>("cycles");  // lengths of the completed cycles, oldest first
        QTest::addColumn<QList<int>>("periods"); // period length of each; 0 unrecorded
        QTest::addColumn<QList<int>>("leftOut"); // indexes of cycles left out
        QTest::addColumn<QStringList>("expected");

        QTest::newRow("every range just inside")
            << QList<int>{25, 31, 28} << QList<int>{3, 7, 5} << QList<int>() << QStringList();
        QTest::newRow("24 days just outside") << QList<int>{24, 28, 29} << QList<int>{5, 5, 5} << QList<int>()
                                              << QStringList{QStringLiteral("24日以内の周期: 1回 (頻発月経の目安)")};
        QTest::newRow("38 days just inside, spread of six")
            << QList<int>{32, 38} << QList<int>{5, 5} << QList<int>() << QStringList();
        QTest::newRow("39 days just outside") << QList<int>{34, 39, 35} << QList<int>{5, 5, 5} << QList<int>()
                                              << QStringList{QStringLiteral("39日以上の周期: 1回 (稀発月経の目安)")};
        QTest::newRow("spread of seven") << QList<int>{26, 33, 30} << QList<int>{5, 5, 5} << QList<int>()
                                         << QStringList{QStringLiteral(
                                                "周期の長さの差が6日を超えています (最短26日、最長33日)")};
        QTest::newRow("two-day period just outside, unrecorded one not counted")
            << QList<int>{28, 28, 28} << QList<int>{2, 0, 3} << QList<int>()
            << QStringList{QStringLiteral("月経期間が2日以内: 1回 (過短月経の目安)")};
        QTest::newRow("eight-day period just outside")
            << QList<int>{28, 28} << QList<int>{8, 7} << QList<int>()
            << QStringList{QStringLiteral("月経期間が8日以上: 1回 (過長月経の目安)")};
        QTest::newRow("all at once, counted among the last 12")
            << QList<int>{20, 24, 40, 30, 30, 30, 30, 30, 30, 30, 30, 30, 30}
            << QList<int>{2, 2, 9, 5, 5, 5, 5, 5, 5, 5, 5, 5, 1} << QList<int>()
            << QStringList{QStringLiteral("24日以内の周期: 1回 (頻発月経の目安)"),
                           QStringLiteral("39日以上の周期: 1回 (稀発月経の目安)"),
                           QStringLiteral("周期の長さの差が6日を超えています (最短24日、最長40日)"),
                           QStringLiteral("月経期間が2日以内: 2回 (過短月経の目安)"),
                           QStringLiteral("月経期間が8日以上: 1回 (過長月経の目安)")};
        QTest::newRow("a left-out cycle is not counted")
            << QList<int>{28, 45, 29} << QList<int>{5, 10, 5} << QList<int>{1} << QStringList();
    }
    void observations_againstStandardRanges()
    {
        QFETCH(QList<int>, cycles);
        QFETCH(QList<int>, periods);
        QFETCH(QList<int>, leftOut);
        QFETCH(QStringList, expected);
        const QList<QDate> firstDays = firstDaysFrom(Start, cycles);
        QList<DayRecord> records;
        QSet<QDate> excluded;
        for (qsizetype c = 0; c < cycles.size(); ++c) {
            records += flowDays(firstDays[c], QString(periods[c], u'M'));
            if (leftOut.contains(c)) {
                excluded.insert(firstDays[c]);
            }
        }
        QCOMPARE(periodObservations(cycleRecords(firstDays, records, excluded)), expected);
    }

    void pmsForecast_ofCompletedCycles_data()
    {
        QTest::addColumn<QList<int>>("cycles"); // lengths of the completed cycles, oldest first
        // "cycle,days before the first day that ended it,token|token"
        QTest::addColumn<QStringList>("symptomDays");
        QTest::addColumn<QDate>("nextStart");
        QTest::addColumn<QDate>("first"); // invalid: no forecast
        QTest::addColumn<QDate>("last");
        QTest::addColumn<QStringList>("symptoms");

        const QDate next(2025, 12, 24);
        QTest::newRow("3 of 3 cycles") << QList<int>{28, 30, 27}
                                       << QStringList{u"0,3,headache"_qs, u"0,2,headache"_qs, u"0,1,headache"_qs,
                                                      u"1,2,headache"_qs, u"1,1,headache"_qs, u"2,3,headache"_qs,
                                                      u"2,1,headache"_qs, u"2,9,skin"_qs}
                                       << next << QDate(2025, 12, 21) << QDate(2025, 12, 23)
                                       << QStringList{u"headache"_qs};
        QTest::newRow("2 of 4 cycles is half")
            << QList<int>{28, 28, 28, 28} << QStringList{u"0,5,low"_qs, u"1,5,low"_qs, u"2,1,sleepy"_qs, u"3,8,skin"_qs}
            << next << QDate(2025, 12, 19) << QDate(2025, 12, 19) << QStringList{u"low"_qs};
        QTest::newRow("fewer than 3 cycles with records: none")
            << QList<int>{28, 28, 28, 28} << QStringList{u"2,2,headache"_qs, u"3,2,headache"_qs} << next << QDate()
            << QDate() << QStringList();
        QTest::newRow("symptoms ordered by frequency, ties in token order")
            << QList<int>{29, 29, 29} << QStringList{u"0,2,irritable"_qs,        u"0,1,bloating|irritable"_qs,
                                                     u"1,2,irritable"_qs,        u"1,1,bloating|irritable|low"_qs,
                                                     u"2,2,cramps|irritable"_qs, u"2,1,bloating|irritable"_qs}
            << next << QDate(2025, 12, 22) << QDate(2025, 12, 23)
            << QStringList{u"irritable"_qs, u"bloating"_qs, u"cramps"_qs, u"low"_qs};
    }
    void pmsForecast_ofCompletedCycles()
    {
        QFETCH(QList<int>, cycles);
        QFETCH(QStringList, symptomDays);
        QFETCH(QDate, nextStart);
        QFETCH(QDate, first);
        QFETCH(QDate, last);
        QFETCH(QStringList, symptoms);
        const QList<QDate> firstDays = firstDaysFrom(Start, cycles);
        QMap<QDate, DayRecord> byDay;
        for (const QString &entry : symptomDays) {
            const QStringList fields = entry.split(u',');
            DayRecord &record = byDay[firstDays[fields[0].toInt() + 1].addDays(-fields[1].toInt())];
            record.date = firstDays[fields[0].toInt() + 1].addDays(-fields[1].toInt());
            record.symptoms = fields[2].split(u'|');
        }
        const std::optional<PmsForecast> forecast = pmsForecast(pmsDays(firstDays, byDay.values()), nextStart);
        QCOMPARE(forecast.has_value(), first.isValid());
        if (forecast) {
            QCOMPARE(forecast->first, first);
            QCOMPARE(forecast->last, last);
            QCOMPARE(forecast->symptoms, symptoms);
        }
    }
};

QTEST_GUILESS_MAIN(TestObservations)
#include "tst_observations.moc"
