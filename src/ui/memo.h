#pragma once

#include <QDate>
#include <QDialog>

#include "temperaturefile.h"

#include <memory>

namespace Ui {
class frmMemo;
}

// Shows and edits the memo of one day in dateMemo.dat and her basal body temperature that day in
// dateTemp.dat; 保存 stores both. The opener puts the day's date text
// ("2011/3/5" or "2011/03/05") into the label before showing the dialog; a save or delete that
// succeeds closes it, one that fails leaves it open with the text.
class TfrmMemo final : public QDialog
{
    Q_OBJECT

public:
    explicit TfrmMemo(QWidget *parent = nullptr);
    ~TfrmMemo() override;

    // The text of lblyyyymmdd, shown unchanged; read as the memo's day when the dialog is shown.
    void setDateText(const QString &text);
    QDate memoDate() const { return MemoDate; }

public slots:
    void btnSaveClick();
    void btnDeleteClick();
    void btmCloseClick();

protected:
    void showEvent(QShowEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;

private:
    void FormShow();

    std::unique_ptr<Ui::frmMemo> ui;
    QDate MemoDate;
    bool m_shown = false;
    bool m_hadMemo = false;
    std::optional<TemperatureReading> m_storedReading;
};
