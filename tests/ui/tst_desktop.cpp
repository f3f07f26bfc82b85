// Every window on a desktop theme: qt6ct with Fusion, its "darker" colour scheme and a font of its own (set
// up before the application starts), then the style's light palette. Qt's own texts under a C locale.
#include "entry.h"
#include "history.h"
#include "language.h"
#include "look.h"
#include "mail.h"
#include "mainwindow.h"
#include "memo.h"
#include "notice.h"
#include "testfiles.h"
#include "view.h"

#include <QApplication>
#include <QCalendarWidget>
#include <QCheckBox>
#include <QDateEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStyle>
#include <QTemporaryDir>
#include <QTest>

namespace {

// Each text the program gave colours to, against the background it is drawn on.
void checkColouredTexts(const QWidget *window)
{
    for (const QWidget *widget : window->findChildren<QWidget *>()) {
        // The red "日" of the weekday headers is a design colour of the calendar, which stays (4.0:1).
        if (!widget->testAttribute(Qt::WA_SetPalette) || widget->objectName() == u"pnlWeek01") {
            continue;
        }
        const QPalette::ColorGroup group = widget->isEnabled() ? QPalette::Active : QPalette::Disabled;
        const bool box = widget->inherits("QLineEdit") || widget->inherits("QPlainTextEdit");
        const QWidget *filler = widget;
        while (!box && !filler->autoFillBackground() && !filler->isWindow()) {
            filler = filler->parentWidget();
        }
        const QColor text = widget->palette().color(group, box ? QPalette::Text : widget->foregroundRole());
        const QBrush brush = filler->palette().brush(group, box ? QPalette::Base : filler->backgroundRole());
        // A cell with the PMS band is a gradient: the text stands on its first colour, the band runs
        // along the bottom below it.
        const QColor ground = brush.gradient() != nullptr && !brush.gradient()->stops().isEmpty()
                                  ? brush.gradient()->stops().constFirst().second
                                  : brush.color();
        QVERIFY2(contrastRatio(text, ground) >= 4.5,
                 qPrintable(widget->objectName() + u' ' + text.name() + u' ' + ground.name()));
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
        static const QPalette theme = QApplication::palette();
        QVERIFY2(theme.color(QPalette::Window).lightness() < 100, "the dark colour scheme is not loaded");
        QApplication::setPalette(dark ? theme : QApplication::style()->standardPalette());
        QTemporaryDir dir;
        QVERIFY(writeFile(dir.filePath(QStringLiteral("date.dat")), "2011/03/05\r\n2011/02/05\r\n"));
        TfrmMain main(dir.path(), [] { return QDate(2011, 3, 10); });
        main.show();
        TfrmMail mail(main.engine(), main.cycleLengthText(), main.cyclesAheadText(), &main);
        const TfrmEntry entry(&main);
        const TfrmView view(&main);
        const TfrmMemo memo(&main);
        const TfrmHistory history(28, &main);
        const TfrmNotice notice(main.cycleLengthText(), &main);
        for (const QWidget *window :
             std::initializer_list<const QWidget *>{&main, &mail, &entry, &view, &memo, &history, &notice}) {
            checkColouredTexts(window);
        }
        mail.findChild<QCheckBox *>(QStringLiteral("ChkSMTP"))->click(); // the account fields turn white
        checkColouredTexts(&mail);
    }

    void registeredData_buttonsFitTheirCaptions_underTheThemeFont()
    {
        QCOMPARE(QApplication::font().family(), QStringLiteral("DejaVu Sans"));
        TfrmView view;
        for (const QPushButton *button : view.findChildren<QPushButton *>()) {
            // As a push button lays out its picture, a 4-pixel gap and its caption inside its frame.
            const QString caption = QString(button->text()).remove(u'&');
            const int needed = button->iconSize().width() + 4 + button->fontMetrics().horizontalAdvance(caption);
            const int room = button->width() - 2 * button->style()->pixelMetric(QStyle::PM_DefaultFrameWidth);
            QVERIFY2(needed <= room, qPrintable(caption + QStringLiteral(": %1 > %2").arg(needed).arg(room)));
        }
    }

    void memoMenuAndDatePicker_readJapanese_underCLocale()
    {
        QCOMPARE(QLocale::system().name(), QStringLiteral("C"));
        TfrmMemo memo;
        const std::unique_ptr<QMenu> menu(memo.findChild<QPlainTextEdit *>()->createStandardContextMenu());
        QVERIFY(menu->actions().size() > 5);
        for (const QAction *action : menu->actions()) {
            // Japanese words before the shortcut: "元に戻す(&U)\tCtrl+Z".
            const QString words = action->text().section(u'\t', 0, 0);
            QVERIFY2(action->isSeparator() || words.contains(QRegularExpression(u"^[^A-Za-z]+(\\(&[A-Z]\\))?$"_qs)),
                     qPrintable(words));
        }
        TfrmEntry entry;
        const QCalendarWidget *picker = entry.findChild<QDateEdit *>()->calendarWidget();
        QCOMPARE(picker->firstDayOfWeek(), Qt::Sunday);
        QCOMPARE(picker->locale().standaloneMonthName(12), QStringLiteral("12月"));
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
