// The history window of the real program: opened from the registered-data dialog, its PDF report read
// back with poppler-utils and its CSV export read back with Python's csv module.

#include "e2eharness.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

using namespace E2e;

class TestEndToEndHistory : public QObject
{
    Q_OBJECT

private:
    XServer m_x;

    // Saves through the window's button and its save dialog, which proposes ~/name; the file's bytes.
    QByteArray saveWithDefaultName(const QString &history, const char *key, const QString &dialogTitle,
                                   const QString &path, RunningProgram &program)
    {
        if (!m_x.pressKey(history, QString::fromLatin1(key))) {
            return QByteArray();
        }
        const QString dialog = m_x.waitForWindow(dialogTitle, 10000, &program);
        if (dialog.isEmpty() || !m_x.pressKey(dialog, QStringLiteral("Return"))) {
            return QByteArray();
        }
        QFile file(path);
        for (int waited = 0; !file.exists() && waited < 10000; waited += 50) {
            QTest::qWait(50);
        }
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

    // From the main window: 登録データ (Alt+V), then 履歴とグラフ (Alt+G); the history window, or empty.
    // The registered-data dialog under it goes to `view`.
    QString openHistory(const QString &window, RunningProgram &program, QString &view)
    {
        if (!m_x.pressKey(window, QStringLiteral("alt+v"))) {
            return QString();
        }
        view = m_x.waitForWindow(QStringLiteral("登録データ"), 10000, &program);
        if (view.isEmpty() || !m_x.pressKey(view, QStringLiteral("alt+g"))) {
            return QString();
        }
        return m_x.waitForWindow(QStringLiteral("生理の履歴"), 10000, &program);
    }

    // The report saved through PDFに保存 as ~/eveluna-履歴.pdf, as pdftotext reads it; empty when no PDF came.
    QString savedReportText(const QString &history, const QTemporaryDir &home, RunningProgram &program)
    {
        const QString pdf = home.filePath(QStringLiteral("eveluna-履歴.pdf"));
        if (!saveWithDefaultName(history, "alt+s", QStringLiteral("PDFに保存"), pdf, program).startsWith("%PDF")) {
            return QString();
        }
        return run(QStringLiteral("pdftotext"),
                   {QStringLiteral("-enc"), QStringLiteral("UTF-8"), pdf, QStringLiteral("-")});
    }

    static QString run(const QString &program, const QStringList &arguments)
    {
        QProcess process;
        process.start(program, arguments);
        return process.waitForFinished(20000) && process.exitCode() == 0
                   ? QString::fromUtf8(process.readAllStandardOutput())
                   : QStringLiteral("<%1 failed: %2>").arg(program, QString::fromUtf8(process.readAllStandardError()));
    }

private slots:
    void initTestCase()
    {
        QString error;
        QVERIFY2(m_x.start(&error), qPrintable(error));
    }

    void history_opensFromRegisteredData_savesPdfAndCsv()
    {
        ProgramFolder folder;
        QVERIFY(folder.isValid());
        // Cycles of 29, 31, 27 and 43 days: average 32.5; the average mode gives 32, so the calendar's
        // next period begins on 2025/06/16.
        const QStringList firstDays =
            QStringLiteral("2025/01/05 2025/02/03 2025/03/06 2025/04/02 2025/05/15").split(u' ');
        QByteArray dates;
        for (auto day = firstDays.crbegin(); day != firstDays.crend(); ++day) {
            dates += day->toLatin1() + "\r\n";
        }
        QVERIFY(folder.writeFile(QStringLiteral("date.dat"), dates));
        // In UTF-8 with a mark; line breaks stored as "$$", quotes doubled.
        QVERIFY(folder.writeFile(QStringLiteral("dateMemo.dat"), "\xEF\xBB\xBF"
                                                                 "2025/05/15,\"頭痛\"\r\n"
                                                                 "2025/03/10,\"体温 36.5\"\r\n"
                                                                 "2025/02/03,\"腹痛, \"\"強め\"\"$$2行目\"\r\n"));
        QVERIFY(folder.writeFile(QStringLiteral("setting.ini"), "[Day Setting]\r\nDaymode=0\r\n"));
        // Bleeding on five days from 01/05 and nine from 04/02: the second is a period of 8 days or more.
        QByteArray dayLines;
        for (int d = 0; d < 9; ++d) {
            if (d < 5) {
                dayLines += QDate(2025, 1, 5).addDays(d).toString(u"yyyy/MM/dd").toLatin1() + ",flow=medium\r\n";
            }
        }
        for (int d = 0; d < 9; ++d) {
            dayLines += QDate(2025, 4, 2).addDays(d).toString(u"yyyy/MM/dd").toLatin1() + ",flow=heavy,pain=3\r\n";
        }
        QVERIFY(folder.writeFile(QStringLiteral("dateDay.dat"), dayLines));
        QTemporaryDir home;
        QVERIFY(home.isValid());
        QProcessEnvironment extra;
        extra.insert(QStringLiteral("HOME"), home.path());

        RunningProgram program(m_x, folder.executable(), folder.path(), extra);
        QVERIFY2(program.start(), qPrintable(program.report()));
        const QString window = m_x.waitForWindow(MainTitle, 15000, &program);
        QVERIFY2(!window.isEmpty(), qPrintable(program.report()));
        QString view;
        const QString history = openHistory(window, program, view);
        QVERIFY2(!history.isEmpty(), qPrintable(program.report()));

        const QString text = savedReportText(history, home, program);
        QVERIFY2(!text.isEmpty(), qPrintable(program.report()));
        const QStringList periods = {
            QStringLiteral("2025/04/02から 周期 43日 月経期間 9日"),
            QStringLiteral("2025/01/05から 周期 29日 月経期間 5日"),
            QStringLiteral("39日以上の周期: 1回 (稀発月経の目安)"),
            QStringLiteral("周期の長さの差が6日を超えています (最短27日、最長43日)"),
            QStringLiteral("月経期間が8日以上: 1回 (過長月経の目安)"),
        };
        for (const QString &day :
             firstDays + periods + QStringList{QStringLiteral("32.5日"), QStringLiteral("2025/06/16")}) {
            QVERIFY2(text.contains(day), qPrintable(day + QStringLiteral(" not in:\n") + text));
        }
        const QString fonts = run(QStringLiteral("pdffonts"), {home.filePath(QStringLiteral("eveluna-履歴.pdf"))});
        bool embedded = false;
        for (const QString &line : fonts.split(u'\n')) {
            const QStringList columns = line.split(QRegularExpression(QStringLiteral("\\s+")), Qt::SkipEmptyParts);
            // name type encoding emb sub uni object-number generation
            embedded |= line.contains(QStringLiteral("IPAGothic")) && columns.size() >= 5 &&
                        columns.at(columns.size() - 5) == QStringLiteral("yes");
        }
        QVERIFY2(embedded, qPrintable(fonts));

        const QString csv = home.filePath(QStringLiteral("eveluna-履歴.csv"));
        QVERIFY(saveWithDefaultName(history, "alt+c", QStringLiteral("CSVに書き出す"), csv, program)
                    .startsWith("\xEF\xBB\xBF"));
        const QString rows = run(QStringLiteral("python3"),
                                 {QStringLiteral("-c"),
                                  QStringLiteral("import csv, json, sys\n"
                                                 "with open(sys.argv[1], encoding='utf-8-sig', newline='') as f:\n"
                                                 "    print(json.dumps(list(csv.reader(f))))"),
                                  csv});
        const auto row = [](const char *day, const char *length, const char *memo) {
            return QJsonArray{QString::fromUtf8(day), QString::fromUtf8(length), QString::fromUtf8(memo)};
        };
        const QJsonArray expected = {
            row("開始日", "周期(日)", "メモ"),
            row("2025/01/05", "29", ""),
            row("2025/02/03", "31", "腹痛, \"強め\"\r\n2行目"),
            row("2025/03/06", "27", ""),
            row("2025/04/02", "43", ""),
            row("2025/05/15", "", "頭痛"),
        };
        QCOMPARE(QJsonDocument::fromJson(rows.toUtf8()).array(), expected);

        QVERIFY(m_x.pressKey(history, QStringLiteral("Escape")));
        QTRY_VERIFY_WITH_TIMEOUT(m_x.visibleWindows(QStringLiteral("生理の履歴")).isEmpty(), 10000);
        QVERIFY(m_x.pressKey(view, QStringLiteral("Escape")));
        QTRY_VERIFY_WITH_TIMEOUT(m_x.visibleWindows(QStringLiteral("登録データ")).isEmpty(), 10000);
        QVERIFY(m_x.pressKey(window, QStringLiteral("Escape")));
        QVERIFY2(program.waitForExit(10000), qPrintable(program.report()));
    }

    // A morning reading typed in the day dialog of today lands in dateTemp.dat (and adds no empty memo);
    // the report then carries the 基礎体温表 with the readings as text.
    void temperature_typedInDayDialog_landsInFileAndReport()
    {
        ProgramFolder folder;
        QVERIFY(folder.isValid());
        const QDate today = QDate::currentDate();
        const QDate start = today.addDays(-14);
        QVERIFY(folder.writeFile(QStringLiteral("date.dat"), start.toString(u"yyyy/MM/dd").toLatin1() + "\r\n"));
        QByteArray readings;
        for (int d = 0; d < 14; ++d) {
            readings += start.addDays(d).toString(u"yyyy/MM/dd").toLatin1() + (d < 10 ? ",36.41\r\n" : ",36.83\r\n");
        }
        QVERIFY(folder.writeFile(QStringLiteral("dateTemp.dat"), readings));
        QTemporaryDir home;
        QVERIFY(home.isValid());
        QProcessEnvironment extra;
        extra.insert(QStringLiteral("HOME"), home.path());
        RunningProgram program(m_x, folder.executable(), folder.path(), extra);
        QVERIFY2(program.start(), qPrintable(program.report()));
        const QString window = m_x.waitForWindow(MainTitle, 15000, &program);
        QVERIFY2(!window.isEmpty(), qPrintable(program.report()));

        // Frame today, Enter, four digits, Alt+S.
        for (const char *key : {"shift+Tab", "Return"}) {
            QVERIFY(m_x.pressKey(window, QString::fromLatin1(key)));
        }
        const QString memo = m_x.waitForWindow(QStringLiteral("メモ"), 10000, &program);
        QVERIFY2(!memo.isEmpty(), qPrintable(program.report()));
        for (const char *key : {"3", "6", "5", "2", "alt+s"}) {
            QVERIFY(m_x.pressKey(memo, QString::fromLatin1(key)));
        }
        QTRY_VERIFY_WITH_TIMEOUT(m_x.visibleWindows(QStringLiteral("メモ")).isEmpty(), 10000);
        QCOMPARE(folder.readFile(QStringLiteral("dateTemp.dat")),
                 readings + today.toString(u"yyyy/MM/dd").toLatin1() + ",36.52\r\n");
        QVERIFY(!folder.exists(QStringLiteral("dateMemo.dat")));

        QString view;
        const QString history = openHistory(window, program, view);
        QVERIFY2(!history.isEmpty(), qPrintable(program.report()));
        const QString text = savedReportText(history, home, program);
        QVERIFY2(!text.isEmpty(), qPrintable(program.report()));
        const QString todayText = QStringLiteral("15日目 %1/%2 36.52").arg(today.month()).arg(today.day());
        for (const QString &expected : {QStringLiteral("基礎体温表"), QStringLiteral("1日目"), QStringLiteral("36.41"),
                                        QStringLiteral("36.83"), todayText}) {
            QVERIFY2(text.contains(expected), qPrintable(expected + QStringLiteral(" not in:\n") + text));
        }
        QVERIFY(m_x.pressKey(history, QStringLiteral("Escape")));
        QTRY_VERIFY_WITH_TIMEOUT(m_x.visibleWindows(QStringLiteral("生理の履歴")).isEmpty(), 10000);
        QVERIFY(m_x.pressKey(view, QStringLiteral("Escape")));
        QTRY_VERIFY_WITH_TIMEOUT(m_x.visibleWindows(QStringLiteral("登録データ")).isEmpty(), 10000);
        QVERIFY(m_x.pressKey(window, QStringLiteral("Escape")));
        QVERIFY2(program.waitForExit(10000), qPrintable(program.report()));
    }
};

QTEST_GUILESS_MAIN(TestEndToEndHistory)

#include "tst_e2e_history.moc"
