// What a day cell tells a user who cannot see its colour: date with weekday, category, today, memo.

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
        const QDate monday(2026, 12, 7);
        const QVariant none;
        QTest::newRow("outside the cycle")
            << monday << int(DayCategory::None) << false << none << QStringLiteral("2026年12月7日（月）");
        QTest::newRow("category, today") << QDate(2011, 3, 6) << int(DayCategory::LikelyDays) << true << none
                                         << QStringLiteral("2011年3月6日（日）、妊娠しやすい日、今日");
        QTest::newRow("memo: first line only")
            << monday << int(DayCategory::NextPeriod) << false << QVariant(QStringLiteral("病院\r\n二行目"))
            << QStringLiteral("2026年12月7日（月）、次の生理、メモ:病院");
        QTest::newRow("empty memo") << monday << int(DayCategory::None) << false << QVariant(QString())
                                    << QStringLiteral("2026年12月7日（月）、メモ:");
        QTest::newRow("memo cut at 40 characters")
            << monday << int(DayCategory::None) << false << QVariant(QString(45, QLatin1Char('x')))
            << QStringLiteral("2026年12月7日（月）、メモ:") + QString(40, QLatin1Char('x'));
        // A character outside the BMP counts once and is never cut in half.
        const QString face = QStringLiteral("\U0001F600");
        QTest::newRow("memo cut counts characters")
            << monday << int(DayCategory::None) << false << QVariant(QString(39, QLatin1Char('a')) + face + face)
            << QStringLiteral("2026年12月7日（月）、メモ:") + QString(39, QLatin1Char('a')) + face;
    }

    void description()
    {
        QFETCH(QDate, date);
        QFETCH(int, category);
        QFETCH(bool, today);
        QFETCH(QVariant, memo);
        QFETCH(QString, expected);
        const std::optional<QString> text = memo.isValid() ? std::optional(memo.toString()) : std::nullopt;
        QCOMPARE(dayCellDescription(date, DayCategory(category), today, text), expected);
    }
};

QTEST_APPLESS_MAIN(TestDayCells)

#include "tst_daycells.moc"
