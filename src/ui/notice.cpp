#include "notice.h"

#include "autostartentry.h"
#include "buttonkeys.h"
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

namespace {

QString entryPath()
{
    return autostartEntryPath(qEnvironmentVariable("XDG_CONFIG_HOME"), Variable::userHome());
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
    ui->btnOK->setIcon(picture(Picture::Today));
    ui->btnCancel->setIcon(picture(Picture::Exit));
    ui->spnBeforeDays->setAccessibleName(QStringLiteral("何日前に知らせるか"));
    ui->spnBeforeDays->setAccessibleDescription(QStringLiteral("0 から 7 日"));
    ui->chkBefore->setAccessibleName(QStringLiteral("次の生理の前に知らせる"));
    followButtonConventions(this);
    connect(ui->chkBefore, &QCheckBox::toggled, ui->spnBeforeDays, &QWidget::setEnabled);
    connect(ui->btnOK, &QPushButton::clicked, this, &TfrmNotice::btnOKClick);
    connect(ui->btnExport, &QPushButton::clicked, this, &TfrmNotice::btnExportClick);
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
        ui->chkAtLogin->setChecked(settings.atLogin);
        ui->chkDiscreet->setChecked(settings.discreet);
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
        settings.atLogin = ui->chkAtLogin->isChecked();
        if (settings.atLogin) {
            autostartEntry(m_executablePath); // a path no entry can start is refused before anything is stored
        }
        settings.discreet = ui->chkDiscreet->isChecked();
        writeNoticeChoices(Variable::SettingFilePath, settings);
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
