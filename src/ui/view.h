#pragma once

#include <QDialog>

#include <memory>

class QListWidget;

namespace Ui {
class frmView;
}

// The registered-data dialog: the lines of date.dat on the left, the days of dateMemo.dat on the right,
// both as check lists whose positions are the line positions of their files. Checked entries are deleted
// from the file and the list; a double click on a memo day opens that day's memo. A third list, beside
// them, shows the days of dateTemp.dat (basal body temperature) and deletes them likewise.
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

    // The list of temperature days, built in code beside the two lists of the form.
    void addTemperatureDays();
    void fillTemperatureDays();
    void btnTempDeleteClick();

    std::unique_ptr<Ui::frmView> ui;
    QListWidget *m_tempDays = nullptr;
    QString m_cycleLengthText;
};
