#pragma once

#include <QDialog>

#include <memory>

class Calendar;
class QPlainTextEdit;

namespace Ui {
class frmMail;
}

// The mail dialog. Its creation composes the message body from the main window's cycle texts, the
// prediction text and the newest lines of date.dat, and loads the mail settings; btnMailSend runs one
// whole SMTP session synchronously and stores the fields when the dialogue ran to its end.
class TfrmMail final : public QDialog
{
    Q_OBJECT

public:
    // cycleLengthText and cyclesAheadText are the texts of the main window's txtSyuki and txtNext, taken
    // as they stand (converted to integers here, where a failure is shown like any other).
    TfrmMail(Calendar &engine, const QString &cycleLengthText, const QString &cyclesAheadText,
             QWidget *parent = nullptr);
    ~TfrmMail() override;

private:
    void FormCreate(const QString &cycleLengthText, const QString &cyclesAheadText);
    void ChkSMTPClick();
    void btnMailSendClick();
    void btnCloseClick();
    void AddLog(const QString &text);
    void appendToKekka(const QString &text);
    void loadMailSettings();
    void storeMailSettings();

    std::unique_ptr<Ui::frmMail> ui;
    Calendar &m_engine;
};

// The text of a memo with CR LF line ends (the widget itself keeps bare line feeds).
QString memoText(const QPlainTextEdit *memo);
