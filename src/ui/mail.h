#pragma once

#include "cyclewindows.h"

#include <QDialog>

#include <memory>
#include <optional>

class Calendar;
class QPlainTextEdit;
class SmtpSessionWorker;

namespace Ui {
class frmMail;
}

// The mail dialog. Its creation composes the message body from the main window's cycle texts, the
// prediction text and the newest lines of date.dat, and loads the mail settings; btnMailSend runs one
// whole SMTP session on a worker thread, logs each reply line as it arrives and stores the fields when
// the dialogue ran to its end. Closing the dialog during a session cancels it at once: what the session
// had not yet shown is dropped, and a name lookup that has not answered is left behind.
class TfrmMail final : public QDialog
{
    Q_OBJECT

public:
    // cycleLengthText and cyclesAheadText are the texts of the main window's txtSyuki and txtNext, taken
    // as they stand (converted to integers here, where a failure is shown like any other).
    TfrmMail(Calendar &engine, const QString &cycleLengthText, const QString &cyclesAheadText,
             QWidget *parent = nullptr);
    ~TfrmMail() override;

    // Connecting and each wait for a reply, in milliseconds (60 s unless a test shortens it).
    void setSessionTimeout(int milliseconds) { m_sessionTimeoutMs = milliseconds; }
    bool isSending() const { return m_session != nullptr; }

    // btnClose, Esc and the window's close button: a running session is cancelled first.
    void reject() override;

signals:
    // A session has ended and everything about it is shown (log, error box) and stored.
    void sessionEnded();

private:
    void FormCreate(const QString &cycleLengthText, const QString &cyclesAheadText);
    void ChkSMTPClick();
    void btnMailSendClick();
    void btnCloseClick();
    void AddLog(const QString &text);
    void appendToKekka(const QString &text);
    void loadMailSettings();
    void txtPortEdited(const QString &text);
    // Shows what the session reported since last time: its reply lines and, at its end, the verdict.
    void takeSessionReport();
    void sessionFinished(int end, const QString &message);
    // Stops a running session; what it had not shown yet is dropped, except that a session that had
    // already run to its end still counts as such.
    void cancelSession();

    // The fields as they were when the session started, stored when it runs to its end.
    struct Fields
    {
        QString smtp, port, user, pass, from, to;
        bool authentication = false;
        int security = 0;
        bool ics = false;
    };
    void storeMailSettings(const Fields &fields);

    std::unique_ptr<Ui::frmMail> ui;
    Calendar &m_engine;
    int m_sessionTimeoutMs = 60000;
    // The security chosen in the list or loaded with the settings, as opposed to one a typed port implied.
    int m_chosenSecurity = 0;
    Fields m_sending;
    std::unique_ptr<SmtpSessionWorker> m_session;
    // The cycle that the body describes, for the calendar attachment; none when the body has no cycle.
    std::optional<CycleWindowDays> m_mailedCycle;
};

// The text of a memo with CR LF line ends (the widget itself keeps bare line feeds).
QString memoText(const QPlainTextEdit *memo);
