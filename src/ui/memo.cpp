#include "memo.h"

#include "buttonkeys.h"
#include "datetext.h"
#include "guard.h"
#include "help.h"
#include "look.h"
#include "memofile.h"
#include "pictures.h"
#include "ui_memo.h"
#include "variable.h"

#include <QKeyEvent>

namespace {

const QString crlf = QStringLiteral("\r\n");
const QString lf = QStringLiteral("\n");

} // namespace

TfrmMemo::TfrmMemo(QWidget *parent)
    : QDialog(parent)
    , ui(std::make_unique<Ui::frmMemo>())
{
    ui->setupUi(this);
    installHelpKey(this, QStringLiteral("memo.html"));
    followButtonConventions(this);
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint);
    setFixedSize(381, 267);
    setWindowIcon(picture(Picture::Memo));

    useDesignFont(this);
    QFont dateFont = ui->lblyyyymmdd->font();
    dateFont.setBold(true);
    ui->lblyyyymmdd->setFont(dateFont);
    setCaptionColor(ui->lblyyyymmdd, QColor(0, 0, 128));

    ui->btnSave->setIcon(picture(Picture::Save));
    ui->btnDelete->setIcon(picture(Picture::Delete));
    ui->btmClose->setIcon(picture(Picture::Close));
    connect(ui->btnSave, &QPushButton::clicked, this, &TfrmMemo::btnSaveClick);
    connect(ui->btnDelete, &QPushButton::clicked, this, &TfrmMemo::btnDeleteClick);
    connect(ui->btmClose, &QPushButton::clicked, this, &TfrmMemo::btmCloseClick);
}

TfrmMemo::~TfrmMemo() = default;

void TfrmMemo::setDateText(const QString &text)
{
    ui->lblyyyymmdd->setText(text);
}

void TfrmMemo::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    if (!m_shown) {
        m_shown = true;
        FormShow();
    }
}

void TfrmMemo::FormShow()
{
    // Until the label has been read as a day there is nothing that save or delete could address.
    ui->btnSave->setEnabled(false);
    ui->btnDelete->setEnabled(false);
    ui->txtMemo->setFocus();
    guarded(this, [&] {
        MemoDate = parseDateText(ui->lblyyyymmdd->text());
        ui->btnSave->setEnabled(true);
        ui->btnDelete->setEnabled(true);
        const std::optional<QString> memo = LoadMemo(Variable::MemoFilePath, MemoDate);
        if (memo) {
            ui->txtMemo->setPlainText(QString(*memo).replace(crlf, lf));
        } else {
            ui->btnDelete->setEnabled(false);
        }
    });
}

// After a failed save or delete the dialog stays open with the text as typed, so the user can free
// space or fix the folder and press the button again; only success or btmClose ends it. A text that the
// file would not give back as typed is refused the same way, with a notice of what would change.
void TfrmMemo::btnSaveClick()
{
    guarded(this, [&] {
        const QString text = ui->txtMemo->toPlainText().replace(lf, crlf);
        if (const std::optional<QString> notice = memoNotKeptNotice(MemoDate, text)) {
            showInfoBox(this, *notice);
            return;
        }
        SaveMemo(Variable::MemoFilePath, MemoDate, text);
        accept();
    });
}

void TfrmMemo::btnDeleteClick()
{
    guarded(this, [&] {
        DeleteMemo(Variable::MemoFilePath, MemoDate);
        accept();
    });
}

void TfrmMemo::btmCloseClick()
{
    reject();
}

void TfrmMemo::keyPressEvent(QKeyEvent *event)
{
    // The dialog has no cancel button: Esc leaves it open.
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}
