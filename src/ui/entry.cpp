#include "entry.h"

#include "buttonkeys.h"
#include "datetyping.h"
#include "guard.h"
#include "help.h"
#include "look.h"
#include "periodfile.h"
#include "pictures.h"
#include "ui_entry.h"
#include "variable.h"

#include <QGuiApplication>
#include <QScreen>

TfrmEntry::TfrmEntry(QWidget *parent, const QDate &today)
    : QDialog(parent)
    , ui(std::make_unique<Ui::frmEntry>())
{
    ui->setupUi(this);
    installHelpKey(this, QStringLiteral("entry.html"));
    followButtonConventions(this);
    useDesignFont(this);
    // No title-bar buttons: the dialog is left through its own two buttons.
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint);
    setFixedSize(235, 107);
    ui->btnSave->setIcon(picture(Picture::Save));
    ui->btmClose->setIcon(picture(Picture::Exit));
    ui->dateEntry->setDate(today);
    acceptWholeTypedDates(ui->dateEntry);
    ui->dateEntry->setFocus();
    connect(ui->btnSave, &QPushButton::clicked, this, &TfrmEntry::btnSaveClick);
    connect(ui->btmClose, &QPushButton::clicked, this, &TfrmEntry::btmCloseClick);
}

TfrmEntry::~TfrmEntry() = default;

void TfrmEntry::disableCancel()
{
    ui->btmClose->setEnabled(false);
}

void TfrmEntry::centreOnScreen()
{
    ::centreOnScreen(this);
}

void TfrmEntry::btnSaveClick()
{
    guarded(this, [&] {
        if (AddPeriodStart(Variable::DateFilePath, ui->dateEntry->date()) == AddResult::AlreadyRegistered) {
            showInfoBox(this, QStringLiteral("既に登録されています。"));
        }
    });
    accept();
}

void TfrmEntry::btmCloseClick()
{
    QDialog::reject();
}

void TfrmEntry::reject()
{
    // Esc and the window manager's close act as the cancel button, and only while it is enabled.
    if (ui->btmClose->isEnabled()) {
        btmCloseClick();
    }
}

void centreOnScreen(QWidget *widget)
{
    QScreen *screen = widget->screen() ? widget->screen() : QGuiApplication::primaryScreen();
    if (!screen) {
        return;
    }
    const QRect area = screen->availableGeometry();
    widget->move(area.center() - QPoint(widget->width() / 2, widget->height() / 2));
}
