#include "backups.h"
#include "ui_backups.h"

#include "backup.h"
#include "guard.h"
#include "help.h"
#include "look.h"
#include "restore.h"

#include <QDateTime>
#include <QHeaderView>
#include <QMessageBox>

TfrmBackups::TfrmBackups(const QString &dataFolder, QWidget *parent)
    : QDialog(parent)
    , ui(std::make_unique<Ui::frmBackups>())
    , m_dataFolder(dataFolder)
{
    ui->setupUi(this);
    useDesignFont(this);
    installHelpKey(this, QStringLiteral("import.html"));
    ui->tblBackups->setColumnCount(5);
    ui->tblBackups->setHorizontalHeaderLabels({QStringLiteral("日付"), QStringLiteral("何の前か"),
                                               QStringLiteral("生理開始日"), QStringLiteral("メモ"),
                                               QStringLiteral("体温")});
    ui->tblBackups->horizontalHeader()->setSectionResizeMode(0, QHeaderView::Stretch);
    ui->tblBackups->verticalHeader()->hide();
    connect(ui->btnRestore, &QPushButton::clicked, this, [this] { btnRestoreClick(); });
    connect(ui->btnClose, &QPushButton::clicked, this, &QDialog::reject);
    guarded(this, [this] { fillList(); });
}

TfrmBackups::~TfrmBackups() = default;

void TfrmBackups::fillList()
{
    QString folderText = QStringLiteral("戻すと、記録と一緒に設定（周期の決め方、メールと通知の設定）も"
                                        "そのときの内容に戻ります。\nバックアップの場所: %1")
                             .arg(Backup::backupRoot(m_dataFolder));
    if (!Backup::lastFailure().isEmpty()) {
        folderText += QLatin1Char('\n') + Backup::lastFailure();
    }
    ui->lblFolder->setText(folderText);
    const QList<BackupSummary> list = listBackupSummaries(m_dataFolder);
    ui->tblBackups->setRowCount(int(list.size()));
    for (int row = 0; row < list.size(); ++row) {
        const BackupSummary &b = list[row];
        // A backup that cannot be read says so instead of counting nothing, the reason in its hint.
        const QString unreadable = QStringLiteral("読めません");
        const QStringList cells = b.unreadable.isEmpty()
                                      ? QStringList{b.name, b.takenBefore, QString::number(b.firstDays),
                                                    QString::number(b.memos), QString::number(b.readings)}
                                      : QStringList{b.name, b.takenBefore, unreadable, unreadable, unreadable};
        for (int column = 0; column < cells.size(); ++column) {
            auto *item = new QTableWidgetItem(cells[column]);
            item->setData(Qt::UserRole, b.folder);
            item->setToolTip(b.unreadable);
            ui->tblBackups->setItem(row, column, item);
        }
    }
    if (!list.isEmpty()) {
        ui->tblBackups->selectRow(0);
    }
    ui->btnRestore->setEnabled(!list.isEmpty());
}

void TfrmBackups::btnRestoreClick()
{
    guarded(this, [this] {
        const QTableWidgetItem *item = ui->tblBackups->item(ui->tblBackups->currentRow(), 0);
        if (item == nullptr) {
            return;
        }
        QMessageBox ask(QMessageBox::Question, QStringLiteral("確認"),
                        QStringLiteral("%1 のバックアップに戻しますか？\n記録と一緒に設定もそのときの内容に戻ります。"
                                       "\nいまのデーターは先にバックアップするので、この操作も元に戻せます。")
                            .arg(item->text()),
                        QMessageBox::Yes | QMessageBox::No, this);
        ask.setDefaultButton(QMessageBox::No);
        useDesignFont(&ask);
        if (ask.exec() != QMessageBox::Yes) {
            return;
        }
        const QString undo =
            restoreBackup(m_dataFolder, item->data(Qt::UserRole).toString(), QDateTime::currentDateTime());
        m_restored = true;
        fillList();
        showInfoBox(this, QStringLiteral("戻しました。戻す前のデーターは %1 にあります。").arg(undo));
    });
}
