// What a day cell tells a user who cannot see its colour: date with weekday, category, today, bleeding,
// reading, memo.

#include "daygrid.h"

#include <QTest>

class TestDayCells : public QObject
{
    Q_OBJECT

private slots:
    void description_data()
    {
        QTest::addColumn<QDate>("date");
        QTest::addColumn<int>("category");
        QTest::addColumn<bool>("today");
        QTest::addColumn<QVariant>("memo");
        QTest::addColumn<QString>("expected");
        QTest::addColumn<int>("flow");    // -1: none recorded
        QTest::addColumn<int>("reading"); // centi-degrees, -1: none
        QTest::addColumn<bool>("excluded");
        const QDate monday(2026, 12, 7);
        const QVariant none;
        QTest::newRow("outside the cycle") << monday << int(DayCategory::None) << false << none
                                           << QStringLiteral("2026年12月7日（月）") << -1 << -1 << false;
        QTest::newRow("category, today") << QDate(2011, 3, 6) << int(DayCategory::LikelyDays) << true << none
                                         << QStringLiteral("2011年3月6日（日）、妊娠しやすい日、今日") << -1 << -1
                                         << false;
        QTest::newRow("memo: first line only")
            << monday << int(DayCategory::NextPeriod) << false << QVariant(QStringLiteral("病院\r\n二行目"))
            << QStringLiteral("2026年12月7日（月）、次の生理、メモ:病院") << -1 << -1 << false;
        QTest::newRow("empty memo") << monday << int(DayCategory::None) << false << QVariant(QString())
                                    << QStringLiteral("2026年12月7日（月）、メモ:") << -1 << -1 << false;
        QTest::newRow("memo cut at 40 characters")
            << monday << int(DayCategory::None) << false << QVariant(QString(45, QLatin1Char('x')))
            << QStringLiteral("2026年12月7日（月）、メモ:") + QString(40, QLatin1Char('x')) << -1 << -1 << false;
        // A character outside the BMP counts once and is never cut in half.
        const QString face = QStringLiteral("\U0001F600");
        QTest::newRow("memo cut counts characters")
            << monday << int(DayCategory::None) << false << QVariant(QString(39, QLatin1Char('a')) + face + face)
            << QStringLiteral("2026年12月7日（月）、メモ:") + QString(39, QLatin1Char('a')) + face << -1 << -1 << false;
        QTest::newRow("bleeding, reading, memo")
            << monday << int(DayCategory::ThisPeriod) << false << QVariant(QStringLiteral("病院"))
            << QStringLiteral("2026年12月7日（月）、今回の生理、出血: 多い、体温: 36.52℃、メモ:病院")
            << int(Flow::Heavy) << 3652 << false;
        QTest::newRow("spotting, reading left out")
            << monday << int(DayCategory::None) << false << none
            << QStringLiteral("2026年12月7日（月）、出血: 少量 (おりもの程度)、体温: 37.80℃（除外）")
            << int(Flow::Spotting) << 3780 << true;
    }

    void description()
    {
        QFETCH(QDate, date);
        QFETCH(int, category);
        QFETCH(bool, today);
        QFETCH(QVariant, memo);
        QFETCH(QString, expected);
        QFETCH(int, flow);
        QFETCH(int, reading);
        QFETCH(bool, excluded);
        const std::optional<QString> text = memo.isValid() ? std::optional(memo.toString()) : std::nullopt;
        const std::optional<Flow> bleeding = flow >= 0 ? std::optional(Flow(flow)) : std::nullopt;
        const std::optional<TemperatureReading> temperature =
            reading >= 0 ? std::optional(TemperatureReading{date, reading, excluded}) : std::nullopt;
        QCOMPARE(dayCellDescription(date, DayCategory(category), today, text, bleeding, temperature), expected);
    }
};

QTEST_APPLESS_MAIN(TestDayCells)

#include "tst_daycells.moc"
