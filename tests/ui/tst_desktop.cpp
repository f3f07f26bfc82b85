// Every window on a desktop theme: the qt6ct platform theme with Fusion, its "darker" colour scheme and a
// font of its own (set up before the application starts), and the light palette of the same style. Qt's
// own texts and the date picker under a C locale.
#include "entry.h"
#include "language.h"
#include "look.h"
#include "mail.h"
#include "main.h"
#include "memo.h"
#include "testfiles.h"
#include "view.h"

#include <QApplication>
#include <QCalendarWidget>
#include <QCheckBox>
#include <QDateEdit>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStyle>
#include <QTemporaryDir>
#include <QTest>

namespace {

// The colour a widget's text is drawn on: its own background when it fills one, else its parent's.
QColor backgroundBehind(const QWidget *widget, QPalette::ColorGroup group)
{
    while (!widget->autoFillBackground() && !widget->isWindow()) {
        widget = widget->parentWidget();
    }
    return widget->palette().color(group, widget->backgroundRole());
}

// Each text the program gave colours to, with the colours it ends up drawn in.
void checkColouredTexts(const QWidget *window)
{
    for (const QWidget *widget : window->findChildren<QWidget *>()) {
        // The red "日" of the weekday headers is the calendar's design colour, which stays (4.0:1 on white).
        if (!widget->testAttribute(Qt::WA_SetPalette) || widget->objectName() == QStringLiteral("pnlWeek01")) {
            continue;
        }
        const QPalette::ColorGroup group = widget->isEnabled() ? QPalette::Active : QPalette::Disabled;
        QColor text;
        QColor background;
        if (qobject_cast<const QLineEdit *>(widget) || qobject_cast<const QPlainTextEdit *>(widget)) {
            text = widget->palette().color(group, QPalette::Text);
            background = widget->palette().color(group, QPalette::Base);
        } else if (qobject_cast<const QLabel *>(widget) || qobject_cast<const QAbstractButton *>(widget)) {
            text = widget->palette().color(group, widget->foregroundRole());
            background = backgroundBehind(widget, group);
        } else {
            continue;
        }
        QVERIFY2(contrastRatio(text, background) >= 4.5,
                 qPrintable(QStringLiteral("%1 in %2: %3 on %4")
                                .arg(widget->objectName(), window->objectName(), text.name(), background.name())));
    }
}

} // namespace

class TestDesktop : public QObject
{
    Q_OBJECT

private slots:
    void everyWindow_textsKeepTheirContrast_data()
    {
        QTest::addColumn<bool>("dark");
        QTest::newRow("light") << false;
        QTest::newRow("dark") << true;
    }

    void everyWindow_textsKeepTheirContrast()
    {
        QFETCH(bool, dark);
        static const QPalette themePalette = QApplication::palette();
        QVERIFY2(themePalette.color(QPalette::Window).lightness() < 100, "the dark colour scheme is not loaded");
        QApplication::setPalette(dark ? themePalette : QApplication::style()->standardPalette());

        QTemporaryDir dir;
        QVERIFY(writeFile(dir.filePath(QStringLiteral("date.dat")), "2011/03/05\r\n2011/02/05\r\n"));
        TfrmMain main(dir.path(), [] { return QDate(2011, 3, 10); });
        main.show();
        checkColouredTexts(&main);
        TfrmEntry entry(&main);
        checkColouredTexts(&entry);
        TfrmView view(&main);
        checkColouredTexts(&view);
        TfrmMemo memo(&main);
        memo.setDateText(QStringLiteral("2011/3/5"));
        checkColouredTexts(&memo);
        TfrmMail mail(main.engine(), main.cycleLengthText(), main.cyclesAheadText(), &main);
        for (int click = 0; click < 2; ++click) {
            // The account fields with authentication off (grey) and on (white).
            checkColouredTexts(&mail);
            mail.findChild<QCheckBox *>(QStringLiteral("ChkSMTP"))->click();
        }
    }

    void registeredData_buttonsFitTheirCaptions_underTheThemeFont()
    {
        QVERIFY(QApplication::font().family() == QStringLiteral("DejaVu Sans"));
        TfrmView view;
        for (const QPushButton *button : view.findChildren<QPushButton *>()) {
            // As a push button lays out its picture, a 4-pixel gap and its caption inside its frame.
            const QString caption = QString(button->text()).remove(u'&');
            const int needed = button->iconSize().width() + 4 + button->fontMetrics().horizontalAdvance(caption);
            const int room = button->width() - 2 * button->style()->pixelMetric(QStyle::PM_DefaultFrameWidth);
            QVERIFY2(needed <= room, qPrintable(QStringLiteral("%1: %2 > %3").arg(caption).arg(needed).arg(room)));
        }
    }

    void memoMenuAndDatePicker_readJapanese_underCLocale()
    {
        QCOMPARE(QLocale::system().name(), QStringLiteral("C"));
        TfrmMemo memo;
        const std::unique_ptr<QMenu> menu(memo.findChild<QPlainTextEdit *>()->createStandardContextMenu());
        QVERIFY(!menu->actions().isEmpty());
        for (const QAction *action : menu->actions()) {
            // Japanese words before the shortcut ("元に戻す(&U)\tCtrl+Z").
            QVERIFY2(action->isSeparator() ||
                         action->text()
                             .section(u'\t', 0, 0)
                             .contains(QRegularExpression(QStringLiteral("^[^A-Za-z]*(\\(&[A-Z]\\))?$"))),
                     qPrintable(action->text()));
        }
        TfrmEntry entry;
        const QCalendarWidget *picker = entry.findChild<QDateEdit *>()->calendarWidget();
        QCOMPARE(picker->firstDayOfWeek(), Qt::Sunday);
        QCOMPARE(picker->locale().standaloneMonthName(12), QStringLiteral("12月"));
        QCOMPARE(picker->locale().dayName(1, QLocale::ShortFormat), QStringLiteral("月"));
    }
};

int main(int argc, char **argv)
{
    QTemporaryDir config;
    QDir(config.path()).mkdir(QStringLiteral("qt6ct"));
    writeFile(config.filePath(QStringLiteral("qt6ct/qt6ct.conf")),
              "[Appearance]\ncolor_scheme_path=/usr/share/qt6ct/colors/darker.conf\ncustom_palette=true\n"
              "style=Fusion\n[Fonts]\ngeneral=\"DejaVu Sans,12,-1,5,50,0,0,0,0,0\"\n");
    qputenv("XDG_CONFIG_HOME", config.path().toLocal8Bit());
    qputenv("QT_QPA_PLATFORMTHEME", "qt6ct");
    QApplication app(argc, argv);
    useJapaneseForQt();
    TestDesktop test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_desktop.moc"
