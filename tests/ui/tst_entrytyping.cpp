// Dates typed whole into 生理登録's date field, in whichever section the cursor stands.

#include "entry.h"

#include <QDateEdit>
#include <QTest>

class TestEntryTyping : public QObject
{
    Q_OBJECT

private slots:
    void typedDate_givesThatDate_data()
    {
        QTest::addColumn<int>("section");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QDate>("expected");

        const int year = QDateTimeEdit::YearSection;
        const int month = QDateTimeEdit::MonthSection;
        const int day = QDateTimeEdit::DaySection;
        const QDate wanted(2025, 12, 20);
        QTest::newRow("yyyy/mm/dd in the year") << year << QStringLiteral("2025/12/20") << wanted;
        QTest::newRow("yyyy/mm/dd in the month") << month << QStringLiteral("2025/12/20") << wanted;
        QTest::newRow("yyyy/mm/dd in the day") << day << QStringLiteral("2025/12/20") << wanted;
        QTest::newRow("yyyy/m/d in the day") << day << QStringLiteral("2025/1/5") << QDate(2025, 1, 5);
        QTest::newRow("yyyy/m/dd in the month") << month << QStringLiteral("2024/2/29") << QDate(2024, 2, 29);
        QTest::newRow("eight digits in the year") << year << QStringLiteral("20251220") << wanted;
        QTest::newRow("eight digits in the day") << day << QStringLiteral("20251220") << wanted;
        QTest::newRow("with hyphens") << month << QStringLiteral("2025-12-20") << wanted;
        QTest::newRow("full-width from an input method") << day << QStringLiteral("２０２５／１２／２０") << wanted;
        QTest::newRow("a wrong start, then the date") << day << QStringLiteral("7/2025/12/20") << wanted;
        // One section typed alone still edits that section.
        QTest::newRow("day alone") << day << QStringLiteral("15") << QDate(2011, 3, 15);
        QTest::newRow("month alone") << month << QStringLiteral("7") << QDate(2011, 7, 10);
    }

    void typedDate_givesThatDate()
    {
        QFETCH(int, section);
        QFETCH(QString, typed);
        QFETCH(QDate, expected);
        TfrmEntry dialog(nullptr, QDate(2011, 3, 10));
        dialog.show();
        QVERIFY(QTest::qWaitForWindowActive(&dialog));
        auto *field = dialog.findChild<QDateEdit *>(QStringLiteral("dateEntry"));
        QVERIFY(field->hasFocus());
        field->setSelectedSection(QDateTimeEdit::Section(section));
        for (const QChar c : typed) {
            // An input method's full-width characters come without a key of their own.
            if (c.unicode() < 0x80) {
                QTest::keyClick(field, c.toLatin1());
            } else {
                QTest::sendKeyEvent(QTest::Click, field, Qt::Key_unknown, QString(c), Qt::NoModifier);
            }
        }
        QCOMPARE(field->date(), expected);
    }
};

QTEST_MAIN(TestEntryTyping)

#include "tst_entrytyping.moc"
