// The range, the track record and the status report over plain first days; the range back-tested on a
// generated population.

#include "cyclestats.h"
#include "statusreport.h"

#include <QFile>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>
#include <cmath>
#include <random>

namespace {

QList<QDate> firstDaysFrom(const QDate &first, const QList<int> &gaps)
{
    QList<QDate> days = {first};
    for (const int gap : gaps) {
        days.append(days.last().addDays(gap));
    }
    return days;
}

// A normal deviate from two uniform ones (Box-Muller): the same numbers from every standard library.
double normal(std::mt19937 &random)
{
    const double u1 = (double(random()) + 1.0) / 4294967297.0;
    const double u2 = double(random()) / 4294967296.0;
    return std::sqrt(-2.0 * std::log(u1)) * std::cos(2.0 * M_PI * u2);
}

double uniform(std::mt19937 &random, double low, double high)
{
    return low + (high - low) * (double(random()) / 4294967296.0);
}

} // namespace

class TestStatus final : public QObject
{
    Q_OBJECT

private slots:
    void nextPeriodText_saysTheDayAndWhereItComesFrom_data()
    {
        QTest::addColumn<QDate>("best");
        QTest::addColumn<bool>("fromBody");
        QTest::addColumn<QDate>("ruleDay");
        QTest::addColumn<QDate>("rangeFirst"); // invalid: no range
        QTest::addColumn<QString>("text");

        const QDate first(2026, 12, 17);
        QTest::newRow("the body's day, the rule's a day earlier")
            << QDate(2026, 12, 19) << true << QDate(2026, 12, 18) << first
            << QStringLiteral("次の生理: 12月19日ごろ (体温から。12月17日〜21日。周期からは12月18日)");
        QTest::newRow("the body agrees with the rule")
            << QDate(2026, 12, 19) << true << QDate(2026, 12, 19) << first
            << QStringLiteral("次の生理: 12月19日ごろ (体温から。12月17日〜21日)");
        QTest::newRow("the rule's day") << QDate(2026, 12, 18) << false << QDate(2026, 12, 18) << first
                                        << QStringLiteral("次の生理: 12月18日ごろ (周期から。12月17日〜21日)");
        QTest::newRow("the body's day, too few cycles for a range")
            << QDate(2027, 1, 2) << true << QDate(2026, 12, 30) << QDate()
            << QStringLiteral("次の生理: 1月2日ごろ (体温から。周期からは12月30日)");
    }

    void nextPeriodText_saysTheDayAndWhereItComesFrom()
    {
        QFETCH(QDate, best);
        QFETCH(bool, fromBody);
        QFETCH(QDate, ruleDay);
        QFETCH(QDate, rangeFirst);
        QFETCH(QString, text);
        const std::optional<DayRange> range =
            rangeFirst.isValid() ? std::optional<DayRange>(DayRange{rangeFirst, rangeFirst.addDays(4)}) : std::nullopt;
        QCOMPARE(nextPeriodText(best, fromBody, ruleDay, range), text);
    }

    // Expected values worked out apart from the program (Python's datetime and statistics).
    void report_ofHistories_data()
    {
        QTest::addColumn<QList<QDate>>("firstDays");
        QTest::addColumn<QList<int>>("leftOut"); // indexes into firstDays
        QTest::addColumn<int>("mode");
        QTest::addColumn<QDate>("today");
        QTest::addColumn<QDate>("rangeFirst"); // invalid: no range
        QTest::addColumn<QDate>("rangeLast");
        QTest::addColumn<QList<double>>("track"); // cycles, within 2 days, mean; empty: none
        QTest::addColumn<QDate>("ruleNextStart");
        QTest::addColumn<int>("lateDays");

        QTest::newRow("one first day: her own length, nothing else")
            << firstDaysFrom(QDate(2025, 11, 20), {}) << QList<int>() << 0 << QDate(2025, 12, 1) << QDate() << QDate()
            << QList<double>() << QDate(2025, 12, 20) << 0;
        QTest::newRow("two first days, six days late")
            << firstDaysFrom(QDate(2025, 10, 22), {29}) << QList<int>() << 0 << QDate(2025, 12, 25) << QDate()
            << QDate() << QList<double>() << QDate(2025, 12, 19) << 6;
        QTest::newRow("three first days: two cycles are too few for a range")
            << firstDaysFrom(QDate(2025, 9, 24), {28, 30}) << QList<int>() << 0 << QDate(2025, 12, 1) << QDate()
            << QDate() << QList<double>() << QDate(2025, 12, 20) << 0;
        QTest::newRow("three regular cycles: the prior keeps the range six days wide")
            << firstDaysFrom(QDate(2025, 8, 1), {28, 28, 28}) << QList<int>() << 0 << QDate(2025, 9, 1)
            << QDate(2025, 11, 18) << QDate(2025, 11, 24) << QList<double>{1, 1, 0.0} << QDate(2025, 11, 21) << 0;
        const QList<QDate> thirteen =
            firstDaysFrom(QDate(2023, 6, 14), {31, 26, 35, 28, 24, 41, 29, 30, 27, 33, 22, 38});
        QTest::newRow("thirteen irregular, average mode")
            << thirteen << QList<int>() << 0 << QDate(2024, 6, 20) << QDate(2024, 7, 6) << QDate(2024, 7, 16)
            << QList<double>{10, 3, 5.2} << QDate(2024, 7, 12) << 0;
        QTest::newRow("thirteen irregular, longest mode")
            << thirteen << QList<int>() << 2 << QDate(2024, 6, 20) << QDate(2024, 7, 6) << QDate(2024, 7, 16)
            << QList<double>{10, 0, 9.5} << QDate(2024, 7, 23) << 0;
        QTest::newRow("thirteen irregular, the 41-day cycle left out, late")
            << thirteen << QList<int>{5} << 0 << QDate(2024, 7, 20) << QDate(2024, 7, 6) << QDate(2024, 7, 16)
            << QList<double>{9, 4, 42.0 / 9} << QDate(2024, 7, 11) << 9;
    }

    void report_ofHistories()
    {
        QFETCH(QList<QDate>, firstDays);
        QFETCH(QList<int>, leftOut);
        QFETCH(int, mode);
        QFETCH(QDate, today);
        QFETCH(QDate, rangeFirst);
        QFETCH(QDate, rangeLast);
        QFETCH(QList<double>, track);
        QFETCH(QDate, ruleNextStart);
        QFETCH(int, lateDays);

        StatusInput input;
        input.firstDays = firstDays;
        for (const int i : leftOut) {
            input.excluded.insert(firstDays[i]);
        }
        input.mode = mode;
        input.ownLength = 30;
        const StatusReport report = computeStatus(input, today);

        QCOMPARE(report.range.has_value(), rangeFirst.isValid());
        if (report.range) {
            QCOMPARE(report.range->first, rangeFirst);
            QCOMPARE(report.range->last, rangeLast);
        }
        QCOMPARE(report.trackRecord.has_value(), !track.isEmpty());
        if (report.trackRecord) {
            QCOMPARE(report.trackRecord->cycles, int(track[0]));
            QCOMPARE(report.trackRecord->within2Days, int(track[1]));
            QVERIFY(std::abs(report.trackRecord->meanAbsDays - track[2]) < 1e-9);
        }
        QCOMPARE(report.ruleNextStart, ruleNextStart);
        QCOMPARE(report.nextStart, ruleNextStart);
        QCOMPARE(report.lateDays, lateDays);
        QCOMPARE(report.cycleDay, int(firstDays.last().daysTo(today)) + 1);
    }

    // Only the newest 12 cycles make the range: a 13th, older one changes nothing, however long or short.
    void range_usesOnlyTheNewestTwelveCycles()
    {
        const QList<int> newest{30, 27, 33, 29, 31, 28, 32, 30, 26, 34, 29, 31};
        const QList<QDate> twelve = firstDaysFrom(QDate(2025, 1, 2).addDays(30), newest);
        const std::optional<DayRange> range = nextStartRange(twelve, {});
        QVERIFY(range);
        for (const int oldest : {22, 37}) {
            const QList<QDate> thirteen =
                firstDaysFrom(QDate(2025, 1, 2).addDays(30 - oldest), QList<int>{oldest} + newest);
            QCOMPARE(thirteen.last(), twelve.last());
            const std::optional<DayRange> withOlder = nextStartRange(thirteen, {});
            QVERIFY(withOlder);
            QCOMPARE(withOlder->first, range->first);
            QCOMPARE(withOlder->last, range->last);
        }
    }

    // A stored own length the 周期設定 box would not take is read as its default, and said so; no line
    // counts backwards and no date in the JSON is an empty text.
    void ownLength_outsideTheBox_readAsDefault_data()
    {
        QTest::addColumn<QByteArray>("stored");
        QTest::addColumn<int>("ownLength");
        QTest::addColumn<bool>("noticed");

        QTest::newRow("largest 32-bit number") << QByteArray("2147483647") << 28 << true;
        QTest::newRow("negative") << QByteArray("-5") << 28 << true;
        QTest::newRow("0: just under") << QByteArray("0") << 28 << true;
        QTest::newRow("1: the shortest the box takes") << QByteArray("1") << 1 << false;
        QTest::newRow("999: the longest the box takes") << QByteArray("999") << 999 << false;
        QTest::newRow("1000: just over") << QByteArray("1000") << 28 << true;
        QTest::newRow("not a number") << QByteArray("abc") << 28 << true;
        QTest::newRow("not stored") << QByteArray() << 28 << false;
    }

    void ownLength_outsideTheBox_readAsDefault()
    {
        QFETCH(QByteArray, stored);
        QFETCH(int, ownLength);
        QFETCH(bool, noticed);
        QTemporaryDir folder;
        QFile dates(folder.filePath(QStringLiteral("date.dat")));
        QVERIFY(dates.open(QIODevice::WriteOnly));
        dates.write("2026/11/20\r\n");
        dates.close();
        QFile settings(folder.filePath(QStringLiteral("setting.ini")));
        QVERIFY(settings.open(QIODevice::WriteOnly));
        settings.write("[Day Setting]\r\nDaymode=4\r\n" +
                       (stored.isNull() ? QByteArray() : "Daybetween=" + stored + "\r\n"));
        settings.close();

        const StatusInput input = readStatusInput(dates.fileName(), settings.fileName(), QString());
        QCOMPARE(input.ownLength, ownLength);
        QCOMPARE(input.notices.size(), noticed ? 1 : 0);
        const StatusReport report = computeStatus(input, QDate(2026, 12, 7));
        QVERIFY2(!statusLine(report).contains(QStringLiteral("あと-")), qPrintable(statusLine(report)));
        const QJsonObject json = statusJson(report);
        for (const QString &member : {QStringLiteral("next_start"), QStringLiteral("rule_next_start")}) {
            QVERIFY2(json.value(member).isString() && !json.value(member).toString().isEmpty(), qPrintable(member));
        }
    }

    // A day past the year 9999 has no text form: null, never "".
    void json_dateBeyondTheForm_isNull()
    {
        StatusInput input;
        input.firstDays = {QDate(9999, 12, 1)};
        input.ownLength = MaxOwnCycleDays;
        const QJsonObject json = statusJson(computeStatus(input, QDate(9999, 12, 2)));
        QVERIFY(json.value(QStringLiteral("first_day")).isString());
        QVERIFY(json.value(QStringLiteral("next_start")).isNull());
        QVERIFY(json.value(QStringLiteral("rule_next_start")).isNull());
    }

    // Women with mean cycles of 24 to 35 days and a spread (standard deviation) of 1 to 5 days, drawn
    // evenly on a log scale so that about a third vary by more than 3 days; 3 % of cycles are outliers
    // 10 to 30 days longer. Each cycle after her third is predicted from the ones before it.
    void range_backTested_holdsEightInTenAndStaysNarrow()
    {
        std::mt19937 random(20251207);
        int held = 0;
        QList<int> widths;
        for (int woman = 0; woman < 600; ++woman) {
            const double mean = uniform(random, 24, 35);
            const double spread = std::exp(uniform(random, 0, std::log(5.0)));
            QList<QDate> days = {QDate(2020, 1, 1).addDays(woman % 28)};
            for (int cycle = 0; cycle < 14; ++cycle) {
                const bool outlier = uniform(random, 0, 1) < 0.03;
                const double length = outlier ? mean + uniform(random, 10, 30) : mean + spread * normal(random);
                days.append(days.last().addDays(std::max(15, int(std::lround(length)))));
            }
            for (qsizetype known = 4; known < days.size(); ++known) {
                const std::optional<DayRange> range = nextStartRange(days.first(known), {});
                QVERIFY(range);
                const QDate actual = days[known];
                held += range->first <= actual && actual <= range->last ? 1 : 0;
                widths.append(int(range->first.daysTo(range->last)));
            }
        }
        const double share = double(held) / double(widths.size());
        std::sort(widths.begin(), widths.end());
        qInfo("range held %.1f %% of %lld first days; median width %d days", share * 100, qlonglong(widths.size()),
              widths[widths.size() / 2]);
        QVERIFY2(share >= 0.78 && share <= 0.90, qPrintable(QString::number(share)));
        QVERIFY(widths[widths.size() / 2] <= 7);
        QVERIFY(widths.first() >= 3);
    }
};

QTEST_GUILESS_MAIN(TestStatus)

#include "tst_status.moc"
