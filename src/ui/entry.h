#pragma once

#include <QDate>
#include <QDialog>

#include <memory>

namespace Ui {
class frmEntry;
}

// Registers the first day of one period in date.dat. Opens on today's date; "登録(&S)" registers the
// picked day and closes the dialog in every case (also after the duplicate notice or an error).
class TfrmEntry final : public QDialog
{
    Q_OBJECT

public:
    explicit TfrmEntry(QWidget *parent = nullptr, const QDate &today = QDate::currentDate());
    ~TfrmEntry() override;

    // For the first start without data: the dialog can then be left only by registering a day
    // (btmClose greyed, Esc and the window manager's close ignored).
    void disableCancel();
    void centreOnScreen();

public slots:
    void btnSaveClick();
    void btmCloseClick();
    void reject() override;

private:
    std::unique_ptr<Ui::frmEntry> ui;
};

// Moves a top-level widget to the middle of the available area of its screen.
void centreOnScreen(QWidget *widget);
