#include "mail.h"
#include "ui_mail.h"

#include "base64.h"
#include "buttonkeys.h"
#include "calendar.h"
#include "datetext.h"
#include "fonts.h"
#include "guard.h"
#include "help.h"
#include "icsfile.h"
#include "linefile.h"
#include "look.h"
#include "mailfields.h"
#include "mailkeyring.h"
#include "pictures.h"
#include "sessionworker.h"
#include "settings.h"
#include "variable.h"

#include <QComboBox>
#include <QFileInfo>
#include <QFont>
#include <QLabel>
#include <QPalette>
#include <QPointer>
#include <QScrollBar>
#include <QTextCursor>

#include <algorithm>

namespace {

// The captions were laid out for one particular UI font; like auto-sized static texts, each label takes
// the width its text needs in the font at hand instead of clipping it.
void fitLabelsToText(QWidget *form)
{
    for (QLabel *label : form->findChildren<QLabel *>()) {
        label->resize(label->sizeHint().width(), label->height());
    }
}

const QString CrLf = QStringLiteral("\r\n");
const QString MailSection = QStringLiteral("Mail Setting");

// The account fields while authentication is off: RGB 212, 208, 200 (colour number 13160660).
const QColor FieldGrey(212, 208, 200);

// The body lists at most this many of the newest first days.
constexpr qsizetype PastDaysShown = 5;

void setMemoText(QPlainTextEdit *memo, const QString &text)
{
    QString bare = text;
    bare.replace(CrLf, QStringLiteral("\n"));
    memo->setPlainText(bare);
}

// The design's colours are light: the text goes black with them, whatever the theme's text colour.
void setFieldColor(QWidget *field, const QColor &color)
{
    setFieldColors(field, color, Qt::black);
}

// The memos are read-only Japanese text laid out for a 12-pixel fixed-pitch gothic face; where that face
// is missing, the IPA gothic one has the same metrics class.
QFont memoFont()
{
    QFont font;
    font.setFamilies({QStringLiteral("ＭＳ ゴシック"), QStringLiteral("IPAGothic"), QStringLiteral("monospace")});
    font.setStyleHint(QFont::TypeWriter);
    font.setPixelSize(12);
    return font;
}

void setupMemo(QPlainTextEdit *memo)
{
    memo->setFont(memoFont());
    setFieldColor(memo, Qt::white);
}

} // namespace

QString memoText(const QPlainTextEdit *memo)
{
    QString text = memo->toPlainText();
    text.replace(QLatin1Char('\n'), CrLf);
    return text;
}

TfrmMail::TfrmMail(Calendar &engine, const QString &cycleLengthText, const QString &cyclesAheadText, QWidget *parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint)
    , ui(std::make_unique<Ui::frmMail>())
    , m_engine(engine)
{
    ui->setupUi(this);
    installHelpKey(this, QStringLiteral("mail.html"));
    followButtonConventions(this);

    useDesignFont(this, designFont(installedFamilies(QStringLiteral("Tahoma")), 11));
    setupMemo(ui->txtKekka);
    setupMemo(ui->txtLog);
    setFieldColor(ui->txtUser, FieldGrey);
    setFieldColor(ui->txtPass, FieldGrey);
    // Each character of the password shows as "*" whatever the platform style would use.
    ui->txtPass->setStyleSheet(QStringLiteral("lineedit-password-character: 42"));
    fitLabelsToText(this);
    ui->btnMailSend->setIcon(picture(Picture::Mail));
    ui->btnClose->setIcon(picture(Picture::Close));

    connect(ui->ChkSMTP, &QCheckBox::clicked, this, [this] { ChkSMTPClick(); });
    connect(ui->btnMailSend, &QPushButton::clicked, this, [this] { btnMailSendClick(); });
    connect(ui->btnClose, &QPushButton::clicked, this, [this] { btnCloseClick(); });
    connect(ui->txtPort, &QLineEdit::textEdited, this, [this](const QString &text) { txtPortEdited(text); });
    connect(ui->cmbSecurity, &QComboBox::activated, this, [this](int index) { m_chosenSecurity = index; });
    ui->cmbSecurity->setAccessibleName(QStringLiteral("暗号化"));

    FormCreate(cycleLengthText, cyclesAheadText);
}

TfrmMail::~TfrmMail()
{
    // Cancels and joins; nothing of the session is shown any more.
    m_session.reset();
}

void TfrmMail::appendToKekka(const QString &text)
{
    setMemoText(ui->txtKekka, memoText(ui->txtKekka) + text);
}

void TfrmMail::FormCreate(const QString &cycleLengthText, const QString &cyclesAheadText)
{
    guarded(this, [&] {
        setMemoText(ui->txtKekka, QStringLiteral("EasyVELUNA Plus") + CrLf + CrLf);
        appendToKekka(QStringLiteral("※") + cycleLengthText + QStringLiteral("日周期を想定") + CrLf);

        const int cyclesAhead = parseIntegerText(cyclesAheadText);
        const int cycleLength = parseIntegerText(cycleLengthText);
        appendToKekka(m_engine.PredictionText(cycleLength, cyclesAhead) + CrLf);
        if (m_engine.HasCycle()) {
            m_mailedCycle = m_engine.WindowDays();
        }

        // Without date.dat the dialog keeps its built-in fields: nothing has been registered yet, so the
        // stored mail settings are not offered either.
        if (!QFileInfo::exists(Variable::DateFilePath)) {
            return;
        }
        const LineFile dates = LineFile::readIfExists(Variable::DateFilePath);
        const qsizetype n = std::min(dates.lines().size(), PastDaysShown);
        appendToKekka(QStringLiteral("※過去%1回の生理日").arg(n) + CrLf);
        for (qsizetype i = 0; i < n; ++i) {
            appendToKekka(dates.lines().at(i) + CrLf);
        }

        loadMailSettings();
    });
}

void TfrmMail::loadMailSettings()
{
    const IniFile ini(Variable::SettingFilePath);
    ui->txtSMTP->setText(ini.readString(MailSection, QStringLiteral("SMTP"), QString()));
    ui->txtPort->setText(ini.readString(MailSection, QStringLiteral("Port"), QStringLiteral("25")));
    // Files written before the choice existed: the port says what was meant.
    const int implied = int(SecurityForPort(ui->txtPort->text().trimmed().toInt(), SmtpSecurity::None));
    const int security = ini.readInteger(MailSection, QStringLiteral("Security"), implied);
    m_chosenSecurity = security >= 0 && security <= 2 ? security : implied;
    ui->cmbSecurity->setCurrentIndex(m_chosenSecurity);
    const bool authentication = ini.readBool(MailSection, QStringLiteral("ChkSMTP"), false);
    if (authentication != ui->ChkSMTP->isChecked()) {
        ui->ChkSMTP->setChecked(authentication);
        ChkSMTPClick();
    }
    ui->txtUser->setText(Base64Decode(ini.readString(MailSection, QStringLiteral("User"), QString())));
    ui->txtPass->setText(Base64Decode(Base64Decode(ini.readString(MailSection, QStringLiteral("Pass"), QString()))));
    ui->txtFrom->setText(ini.readString(MailSection, QStringLiteral("From"), QString()));
    ui->txtTo->setText(ini.readString(MailSection, QStringLiteral("To"), QString()));
    ui->chkIcs->setChecked(ini.readBool(MailSection, QStringLiteral("Ics"), false));
    // A password kept in the keyring fills the box when it comes, unless the user has meanwhile typed one
    // or changed the account or the server it belongs to.
    const QString user = ui->txtUser->text();
    const QString server = ui->txtSMTP->text();
    if (ui->txtPass->text().isEmpty() && !user.isEmpty() && !server.isEmpty()) {
        MailKeyring::readPassword(user, server, this, [this, user, server](const QString &password) {
            if (ui->txtPass->text().isEmpty() && ui->txtUser->text() == user && ui->txtSMTP->text() == server) {
                ui->txtPass->setText(password);
            }
        });
    }
}

void TfrmMail::ChkSMTPClick()
{
    const bool authentication = ui->ChkSMTP->isChecked();
    for (QLineEdit *field : {ui->txtUser, ui->txtPass}) {
        field->setEnabled(authentication);
        setFieldColor(field, authentication ? QColor(Qt::white) : FieldGrey);
    }
}

void TfrmMail::AddLog(const QString &text)
{
    // One edit at the end (the line break and the line), whatever the length of the log so far.
    QTextCursor cursor(ui->txtLog->document());
    cursor.movePosition(QTextCursor::End);
    cursor.insertText(QLatin1Char('\n') + text);
    ui->txtLog->setTextCursor(cursor);
    ui->txtLog->ensureCursorVisible();
}

void TfrmMail::txtPortEdited(const QString &text)
{
    // A well-known port picks its security; any other port (also one typed on the way to a longer number,
    // "25" of "2525") gives back what the user or the stored settings chose.
    bool isNumber = false;
    const int port = text.trimmed().toInt(&isNumber);
    ui->cmbSecurity->setCurrentIndex(isNumber ? int(SecurityForPort(port, SmtpSecurity(m_chosenSecurity)))
                                              : m_chosenSecurity);
}

void TfrmMail::btnMailSendClick()
{
    if (m_session != nullptr) {
        return;
    }
    guarded(this, [this] {
        CheckMailField(QStringLiteral("ポート番号"), ui->txtPort->text());
        SmtpRequest request;
        request.host = ui->txtSMTP->text();
        request.port = parseIntegerText(ui->txtPort->text());
        request.user = ui->txtUser->text();
        request.password = ui->txtPass->text();
        request.from = ui->txtFrom->text();
        request.to = ui->txtTo->text();
        request.body = memoText(ui->txtKekka);
        request.security = SmtpSecurity(ui->cmbSecurity->currentIndex());
        request.authentication = ui->ChkSMTP->isChecked();
        if (ui->chkIcs->isChecked() && m_mailedCycle) {
            request.attachments.append({"text/calendar; charset=UTF-8; method=PUBLISH", "eveluna.ics",
                                        icsCalendar(cycleEvents(*m_mailedCycle), QDateTime::currentDateTimeUtc())});
        }
        request.timeoutMs = m_sessionTimeoutMs;
        // Refused here, before anything is sent or stored.
        CheckSmtpRequest(request);
        m_sending = {
            ui->txtSMTP->text(),    ui->txtPort->text(), ui->txtUser->text(),      ui->txtPass->text(),
            ui->txtFrom->text(),    ui->txtTo->text(),   ui->ChkSMTP->isChecked(), ui->cmbSecurity->currentIndex(),
            ui->chkIcs->isChecked()};

        // The session thread posts one call at a time; each takes everything reported until then.
        m_session = std::make_unique<SmtpSessionWorker>(std::move(request), [this] {
            QMetaObject::invokeMethod(
                this, [this] { takeSessionReport(); }, Qt::QueuedConnection);
        });
        ui->btnMailSend->setEnabled(false);
    });
}

void TfrmMail::takeSessionReport()
{
    if (m_session == nullptr) {
        return;
    }
    const SmtpSessionWorker::Report report = m_session->take();
    for (const QString &line : report.lines) {
        AddLog(line);
    }
    if (report.end) {
        sessionFinished(int(*report.end), report.message);
    }
}

void TfrmMail::sessionFinished(int end, const QString &message)
{
    m_session.reset();
    const auto outcome = SmtpSessionWorker::End(end);
    if (outcome == SmtpSessionWorker::End::Sent) {
        AddLog(QStringLiteral("メールを送信しました"));
    } else if (outcome != SmtpSessionWorker::End::Failed) {
        AddLog(QStringLiteral("メール送信に失敗しました"));
    }
    ui->btnMailSend->setEnabled(true);
    if (outcome == SmtpSessionWorker::End::Failed) {
        showErrorBox(this, message);
    } else if (outcome != SmtpSessionWorker::End::Cancelled) {
        // The dialogue ran to its end, whatever the server answered: keep what was used. The password goes
        // to the keyring first; sessionEnded follows once everything is stored.
        storeMailSettings(m_sending);
        return;
    }
    emit sessionEnded();
}

void TfrmMail::cancelSession()
{
    if (m_session == nullptr) {
        return;
    }
    const std::optional<SmtpSessionWorker::End> end = m_session->stop().end;
    const bool ranToItsEnd = end == SmtpSessionWorker::End::Sent || end == SmtpSessionWorker::End::NotSent;
    // An error the user closed the dialog on is not shown from a closing dialog.
    sessionFinished(int(ranToItsEnd ? *end : SmtpSessionWorker::End::Cancelled), QString());
}

void TfrmMail::reject()
{
    cancelSession();
    QDialog::reject();
}

void TfrmMail::storeMailSettings(const Fields &fields)
{
    // The keyring may answer after the dialog has closed: the settings are stored all the same, into the
    // file the session was started with.
    const QString path = Variable::SettingFilePath;
    const QPointer<TfrmMail> dialog(this);
    MailKeyring::storePassword(fields.user, fields.smtp, fields.pass, [=](bool inKeyring, const QString &logLine) {
        guarded(dialog, [&] {
            IniFile ini(path);
            ini.writeString(MailSection, QStringLiteral("SMTP"), fields.smtp);
            ini.writeString(MailSection, QStringLiteral("Port"), fields.port);
            ini.writeBool(MailSection, QStringLiteral("ChkSMTP"), fields.authentication);
            ini.writeString(MailSection, QStringLiteral("User"), Base64Encode(fields.user));
            // Once the keyring holds the password, the file keeps none: an old Pass goes.
            if (inKeyring) {
                ini.removeKey(MailSection, QStringLiteral("Pass"));
            } else {
                ini.writeString(MailSection, QStringLiteral("Pass"), Base64Encode(Base64Encode(fields.pass)));
            }
            ini.writeString(MailSection, QStringLiteral("From"), fields.from);
            ini.writeString(MailSection, QStringLiteral("To"), fields.to);
            ini.writeBool(MailSection, QStringLiteral("Ics"), fields.ics);
            ini.writeInteger(MailSection, QStringLiteral("Security"), fields.security);
        });
        if (dialog != nullptr) {
            if (!logLine.isEmpty()) {
                dialog->AddLog(logLine);
            }
            emit dialog->sessionEnded();
        }
    });
}

void TfrmMail::btnCloseClick()
{
    reject();
}
