#pragma once

#include <QDialog>
#include <QPointer>

#include <memory>

namespace Ui {
class frmCalDav;
}

// "カレンダーと同期": her calendar server, the account, the calendar that 接続を確認 lists, how many
// cycles ahead go there and whether the registered first days go too. OK stores them ([CalDAV] of
// setting.ini, the password in the keyring) and the window syncs soon after.
class TfrmCalDav final : public QDialog
{
    Q_OBJECT

public:
    explicit TfrmCalDav(QWidget *parent = nullptr);
    ~TfrmCalDav() override;

    void btnCheckClick();
    void btnOKClick();

private:
    void FormCreate();

    std::unique_ptr<Ui::frmCalDav> ui;
    QPointer<QObject> m_check; // the discovery under way
    QString m_listedFor;       // the server whose calendars the list shows
};
