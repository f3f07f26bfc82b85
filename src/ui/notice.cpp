#include "notice.h"

#include "autostartentry.h"
#include "buttonkeys.h"
#include "caldav.h"
#include "dailytimer.h"
#include "datetext.h"
#include "guard.h"
#include "help.h"
#include "icsfile.h"
#include "linefile.h"
#include "look.h"
#include "noticesettings.h"
#include "pictures.h"
#include "ui_notice.h"
#include "variable.h"

#include <QDir>
#include <QFileDialog>

#include <tuple>

namespace {

QString entryPath()
{
    return autostartEntryPath(qEnvironmentVariable("XDG_CONFIG_HOME"), Variable::userHome());
}

QString unitFolder()
{
    return systemdUserFolder(qEnvironmentVariable("XDG_CONFIG_HOME"), Variable::userHome());
}

} // namespace

TfrmNotice::TfrmNotice(const QString &cycleLengthText, QWidget *parent, const QString &executablePath)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint)
    , ui(std::make_unique<Ui::frmNotice>())
    , m_cycleLengthText(cycleLengthText)
    , m_executablePath(executablePath)
{
    ui->setupUi(this);
    installHelpKey(this, QStringLiteral("notice.html"));
    useDesignFont(this);
    setFixedSize(size());
    setWindowIcon(picture(Picture::Notice));
    ui->btnExport->setIcon(picture(Picture::Calendar));
    ui->btnCalDav->setIcon(picture(Picture::Calendar));
    ui->btnOK->setIcon(picture(Picture::Today));
    ui->btnCancel->setIcon(picture(Picture::Exit));
    ui->spnBeforeDays->setAccessibleName(QStringLiteral("何日前に知らせるか"));
    ui->spnBeforeDays->setAccessibleDescription(QStringLiteral("0 から 7 日"));
    ui->chkBefore->setAccessibleName(QStringLiteral("次の生理の前に知らせる"));
    followButtonConventions(this);
    ui->timeTemp->setAccessibleName(QStringLiteral("体温を測る時刻"));
    ui->timePill->setAccessibleName(QStringLiteral("ピルを飲む時刻"));
    ui->lblScheduler->setForegroundRole(QPalette::Text);
    connect(ui->chkBefore, &QCheckBox::toggled, ui->spnBeforeDays, &QWidget::setEnabled);
    connect(ui->chkTemp, &QCheckBox::toggled, ui->timeTemp, &QWidget::setEnabled);
    connect(ui->chkPill, &QCheckBox::toggled, ui->timePill, &QWidget::setEnabled);
    connect(ui->btnOK, &QPushButton::clicked, this, &TfrmNotice::btnOKClick);
    connect(ui->btnExport, &QPushButton::clicked, this, &TfrmNotice::btnExportClick);
    connect(ui->btnCalDav, &QPushButton::clicked, this, [this] { guarded(this, [this] { TfrmCalDav(this).exec(); }); });
    connect(ui->btnCancel, &QPushButton::clicked, this, &QDialog::reject);
    FormCreate();
}

TfrmNotice::~TfrmNotice() = default;

void TfrmNotice::FormCreate()
{
    guarded(this, [&] {
        const NoticeSettings settings = readNoticeSettings(Variable::SettingFilePath);
        ui->chkBefore->setChecked(settings.before);
        ui->spnBeforeDays->setValue(settings.beforeDays);
        ui->spnBeforeDays->setEnabled(settings.before);
        ui->chkLate->setChecked(settings.late);
        ui->chkFertile->setChecked(settings.fertile);
        ui->chkPms->setChecked(settings.pms);
        ui->chkBodyFertile->setChecked(settings.bodyFertile);
        ui->chkAtLogin->setChecked(settings.atLogin);
        ui->chkDiscreet->setChecked(settings.discreet);
        ui->chkTemp->setChecked(settings.tempOn);
        ui->timeTemp->setTime(settings.tempAt);
        ui->timeTemp->setEnabled(settings.tempOn);
        ui->chkPill->setChecked(settings.pillOn);
        ui->timePill->setTime(settings.pillAt);
        ui->timePill->setEnabled(settings.pillOn);
    });
}

void TfrmNotice::btnOKClick()
{
    guarded(this, [&] {
        NoticeSettings settings;
        settings.before = ui->chkBefore->isChecked();
        settings.beforeDays = ui->spnBeforeDays->value();
        settings.late = ui->chkLate->isChecked();
        settings.fertile = ui->chkFertile->isChecked();
        settings.pms = ui->chkPms->isChecked();
        settings.bodyFertile = ui->chkBodyFertile->isChecked();
        settings.atLogin = ui->chkAtLogin->isChecked();
        if (settings.atLogin) {
            autostartEntry(m_executablePath); // a path no entry can start is refused before anything is stored
        }
        settings.discreet = ui->chkDiscreet->isChecked();
        settings.tempOn = ui->chkTemp->isChecked();
        settings.tempAt = ui->timeTemp->time();
        settings.pillOn = ui->chkPill->isChecked();
        settings.pillAt = ui->timePill->time();
        if (settings.tempOn || settings.pillOn) {
            serviceUnit(DailyReminder::Temperature, m_executablePath); // refused before anything is stored
            if (!schedulerAvailable()) {
                ui->lblScheduler->setText(noSchedulerText());
                return;
            }
        }
        writeNoticeChoices(Variable::SettingFilePath, settings);
        for (const auto &[reminder, on, at] : {std::tuple(DailyReminder::Temperature, settings.tempOn, settings.tempAt),
                                               std::tuple(DailyReminder::Pill, settings.pillOn, settings.pillAt)}) {
            if (on) {
                enableDailyReminder(unitFolder(), reminder, at, m_executablePath);
            } else {
                disableDailyReminder(unitFolder(), reminder);
            }
        }
        if (settings.atLogin) {
            writeAutostartEntry(entryPath(), m_executablePath);
        } else {
            removeAutostartEntry(entryPath());
        }
        accept();
    });
}

void TfrmNotice::btnExportClick()
{
    guarded(this, [&] {
        const QStringList lines = LineFile::readIfExists(Variable::DateFilePath).lines();
        if (lines.isEmpty()) {
            showInfoBox(this, QStringLiteral("データーが足りません。生理登録を行ってください。"));
            return;
        }
        const QDate newest = parseDateText(lines.front());
        const int cycleLength = parseIntegerText(m_cycleLengthText);
        const QString path = QFileDialog::getSaveFileName(this, QStringLiteral("カレンダーに書き出す"),
                                                          QDir::home().filePath(QStringLiteral("eveluna.ics")),
                                                          QStringLiteral("iCalendar (*.ics)"));
        if (path.isEmpty()) {
            return;
        }
        const QList<CalendarEvent> events = comingCycleEvents(newest, cycleLength, QDate::currentDate());
        // The box as it stands now, chosen or not yet confirmed with OK.
        writeIcsFile(path, icsCalendar(events, QDateTime::currentDateTimeUtc(),
                                       ui->chkDiscreet->isChecked() ? IcsTitles::Discreet : IcsTitles::Plain));
    });
}
