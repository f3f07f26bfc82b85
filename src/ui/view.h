#pragma once

#include <QDialog>

#include <functional>
#include <memory>

class QListWidget;

namespace Ui {
class frmView;
}

// The registered-data dialog: the lines of date.dat on the left, the days of dateMemo.dat on the right,
// both as check lists whose positions are the line positions of their files. Checked entries are deleted
// from the file and the list; a double click on a memo day opens that day's memo. Two more lists beside
// them show the readings of dateTemp.dat (basal body temperature) and the days of dateDay.dat (bleeding,
// pain, symptoms...) with what was recorded, and delete them likewise.
class TfrmView final : public QDialog
{
    Q_OBJECT

public:
    // cycleLengthText: the calendar's cycle length box, for the history window's predicted next first day.
    explicit TfrmView(QWidget *parent = nullptr, QString cycleLengthText = QString());
    ~TfrmView() override;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

signals:
    // The history window has closed; the cycles left out in it may have changed.
    void historyClosed();
    // An import or a restore has replaced data files, the settings perhaps among them: the opener reads
    // every file again (the stored cycle mode too) before it writes any setting of its own.
    void filesReplaced();

private:
    void FormCreate();
    void btnDayDeleteClick();
    void btnMemoDeleteClick();
    void lstMemoDaysDblClick();
    void btnHistoryClick();
    void btmCloseClick();
    void btnImportClick();
    void btnExportAllClick();
    void btnRestoreClick();

    // Reads dateMemo.dat and shows its days, all unchecked. The list is emptied first and filled only
    // once every line has been read, so a bad line leaves it empty.
    void fillMemoDays();

    // A list with its caption and delete button, built in code `column` panels right of the memo list;
    // Tab reaches it after tabAfter.
    QListWidget *addListPanel(int column, const QString &caption, const QString &deleteText, QWidget *tabAfter,
                              const std::function<void()> &deleteChecked);
    void fillTemperatureDays();
    void btnTempDeleteClick();
    void fillDayRecords();
    void btnDayRecordDeleteClick();

    std::unique_ptr<Ui::frmView> ui;
    QListWidget *m_tempDays = nullptr;
    QListWidget *m_dayRecords = nullptr;
    QWidget *m_lastDelete = nullptr; // the delete button of the list added last, for the tab order
    QString m_cycleLengthText;
};
