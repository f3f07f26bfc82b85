#pragma once

#include <QDialog>

#include <memory>

namespace Ui {
class frmBackups;
}

// The backups of the data folder (date, first days, memos, readings), newest first; 戻す puts the
// selected one back after a confirmation, the current files being backed up first.
class TfrmBackups final : public QDialog
{
    Q_OBJECT

public:
    explicit TfrmBackups(const QString &dataFolder, QWidget *parent = nullptr);
    ~TfrmBackups() override;

    // Whether a restore changed the data files, so the opener reads them again.
    bool restored() const { return m_restored; }

private:
    void fillList();
    void btnRestoreClick();

    std::unique_ptr<Ui::frmBackups> ui;
    QString m_dataFolder;
    bool m_restored = false;
};
