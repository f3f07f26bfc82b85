#include "caldav.h"

#include "buttonkeys.h"
#include "calendarsync.h"
#include "calendarsyncrunner.h"
#include "guard.h"
#include "help.h"
#include "look.h"
#include "pictures.h"
#include "ui_caldav.h"
#include "variable.h"

#include <QUrl>

TfrmCalDav::TfrmCalDav(QWidget *parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint)
    , ui(std::make_unique<Ui::frmCalDav>())
{
    ui->setupUi(this);
    installHelpKey(this, QStringLiteral("caldav.html"));
    useDesignFont(this);
    setWindowIcon(picture(Picture::Calendar));
    ui->btnOK->setIcon(picture(Picture::Today));
    ui->btnCancel->setIcon(picture(Picture::Exit));
    ui->txtUrl->setAccessibleName(QStringLiteral("サーバーの URL"));
    ui->txtUrl->setAccessibleDescription(
        QStringLiteral("https で始まる、サーバー、アカウント、またはカレンダーの URL"));
    ui->txtUser->setAccessibleName(QStringLiteral("ユーザー名"));
    ui->txtPass->setAccessibleName(QStringLiteral("パスワード"));
    ui->cmbCalendar->setAccessibleName(QStringLiteral("カレンダー"));
    ui->spnCycles->setAccessibleName(QStringLiteral("先の周期"));
    ui->spnCycles->setAccessibleDescription(QStringLiteral("1 から 6 周期"));
    ui->spnCycles->setRange(CalDavSettings::MinCycles, CalDavSettings::MaxCycles);
    followButtonConventions(this);
    connect(ui->btnCheck, &QPushButton::clicked, this, &TfrmCalDav::btnCheckClick);
    connect(ui->btnOK, &QPushButton::clicked, this, &TfrmCalDav::btnOKClick);
    connect(ui->btnCancel, &QPushButton::clicked, this, &QDialog::reject);
    FormCreate();
}

TfrmCalDav::~TfrmCalDav() = default;

void TfrmCalDav::FormCreate()
{
    const CalendarSyncRunner *runner = CalendarSyncRunner::instance();
    ui->lblLastSync->setText(runner != nullptr ? runner->lastSyncText() : QString());
    guarded(this, [&] {
        const CalDavSettings settings = readCalDavSettings(Variable::SettingFilePath);
        ui->txtUrl->setText(settings.url);
        m_listedFor = settings.url.trimmed();
        ui->txtUser->setText(settings.user);
        ui->spnCycles->setValue(settings.cycles);
        ui->chkSendRecords->setChecked(settings.sendRecords);
        if (!settings.calendar.isEmpty()) {
            const QString path = QUrl(settings.calendar).path();
            const QString name = (path.endsWith(u'/') ? path.chopped(1) : path).section(u'/', -1);
            ui->cmbCalendar->addItem(name.isEmpty() ? settings.calendar : name, settings.calendar);
        }
        // The password from the keyring fills the box when it comes, unless she has typed one meanwhile.
        readCalDavPassword(settings, this, [this, settings](const QString &password) {
            if (ui->txtPass->text().isEmpty() && ui->txtUser->text() == settings.user &&
                ui->txtUrl->text() == settings.url) {
                ui->txtPass->setText(password);
            }
        });
    });
}

void TfrmCalDav::btnCheckClick()
{
    guarded(this, [&] {
        const DiscoverCalendarsFunction discover = discoverCalendarsFunction();
        delete m_check;
        ui->btnCheck->setEnabled(false);
        ui->lblCheck->setText(QStringLiteral("接続しています..."));
        CalDavAccount account;
        account.url = ui->txtUrl->text().trimmed();
        account.user = ui->txtUser->text();
        account.password = ui->txtPass->text();
        account.caFile = readCalDavSettings(Variable::SettingFilePath).caFile;
        m_check = discover(account, this, [this, url = account.url](const DiscoveryResult &result) {
            ui->btnCheck->setEnabled(true);
            ui->lblCheck->setText(result.line);
            if (!result.ok) {
                return;
            }
            const QString chosen = ui->cmbCalendar->currentData().toString();
            m_listedFor = url;
            ui->cmbCalendar->clear();
            for (const CalDavCalendar &calendar : result.calendars) {
                ui->cmbCalendar->addItem(calendar.name, calendar.url);
            }
            ui->cmbCalendar->setCurrentIndex(std::max(0, ui->cmbCalendar->findData(chosen)));
        });
    });
}

void TfrmCalDav::btnOKClick()
{
    guarded(this, [&] {
        CalDavSettings settings = readCalDavSettings(Variable::SettingFilePath);
        settings.url = ui->txtUrl->text().trimmed();
        if (!settings.url.isEmpty() && !settings.url.startsWith(QStringLiteral("https://"), Qt::CaseInsensitive)) {
            showInfoBox(this, QStringLiteral("サーバーの URL は https:// で始めてください。"));
            ui->txtUrl->setFocus();
            return;
        }
        settings.user = ui->txtUser->text();
        // A calendar listed for another server is not one of this server's: without a new list, the URL
        // itself is used when it names a calendar.
        settings.calendar = settings.url == m_listedFor ? ui->cmbCalendar->currentData().toString() : QString();
        settings.cycles = ui->spnCycles->value();
        settings.sendRecords = ui->chkSendRecords->isChecked();
        writeCalDavSettings(Variable::SettingFilePath, settings);
        // The keyring answers later, also after the dialog has closed; the sync waits for it.
        const QPointer<CalendarSyncRunner> runner = CalendarSyncRunner::instance();
        storeCalDavPassword(Variable::SettingFilePath, settings, ui->txtPass->text(), [runner](const QString &) {
            if (runner) {
                runner->inputsMayHaveChanged();
            }
        });
        accept();
    });
}
