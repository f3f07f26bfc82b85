#pragma once

#include <QCoreApplication>
#include <QDialog>
#include <QString>

#include <memory>

namespace Ui {
class frmNotice;
}

// "通知とカレンダー": which reminders the login entry shows, that entry itself, and the export of the
// coming cycles to a calendar file. The choices are stored by OK, in setting.ini and the autostart folder.
class TfrmNotice final : public QDialog
{
    Q_OBJECT

public:
    // cycleLengthText: the main window's txtSyuki, the cycle length of the exported cycles (converted
    // when the file is written). executablePath: what the login entry starts with --remind.
    explicit TfrmNotice(const QString &cycleLengthText, QWidget *parent = nullptr,
                        const QString &executablePath = QCoreApplication::applicationFilePath());
    ~TfrmNotice() override;

    void btnOKClick();
    void btnExportClick();

private:
    void FormCreate();

    std::unique_ptr<Ui::frmNotice> ui;
    QString m_cycleLengthText;
    QString m_executablePath;
};
