#pragma once

#include <QDate>
#include <QDialog>

#include "dayrecordfile.h"
#include "temperaturefile.h"

#include <memory>

namespace Ui {
class frmMemo;
}

// Shows and edits one day: the memo in dateMemo.dat, her basal body temperature in dateTemp.dat and the
// day record (bleeding, pain, symptoms...) in dateDay.dat; 保存 stores all three, Esc and 閉じる close
// without storing. The opener puts the day's date text ("2011/3/5" or "2011/03/05") into the label before
// showing the dialog; a save or delete that succeeds closes it, one that fails leaves it open as typed.
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

private:
    void FormShow();
    void askFirstDay(const DayRecord &record);

    std::unique_ptr<Ui::frmMemo> ui;
    QDate MemoDate;
    bool m_shown = false;
    bool m_hadMemo = false;
    std::optional<TemperatureReading> m_storedReading;
    DayRecord m_storedRecord;
};
