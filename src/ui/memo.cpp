#include "memo.h"

#include "buttonkeys.h"
#include "datetext.h"
#include "fonts.h"
#include "guard.h"
#include "help.h"
#include "look.h"
#include "memofile.h"
#include "pictures.h"
#include "temperaturefile.h"
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
    setFixedSize(381, 303);
    setWindowIcon(picture(Picture::Memo));

    useDesignFont(this);
    QFont dateFont = ui->lblyyyymmdd->font();
    dateFont.setBold(true);
    ui->lblyyyymmdd->setFont(dateFont);
    setCaptionColor(ui->lblyyyymmdd, QColor(0, 0, 128));
    // At the dialog's 8 pt the design font draws "." so small that "36.52" reads like "36,52": the reading
    // gets a larger face whose point stands clear.
    QStringList tempFamilies = installedFamilies(QStringLiteral("DejaVu Sans"));
    tempFamilies.append(ui->txtTemp->font().families());
    ui->txtTemp->setFont(designFont(tempFamilies, 16));

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
        m_hadMemo = memo.has_value();
        if (memo) {
            ui->txtMemo->setPlainText(QString(*memo).replace(crlf, lf));
        } else {
            ui->btnDelete->setEnabled(false);
        }
        const QList<TemperatureReading> readings = readTemperatureFile(Variable::TempFilePath).readings;
        const auto reading = std::find_if(readings.begin(), readings.end(),
                                          [this](const TemperatureReading &r) { return r.date == MemoDate; });
        if (reading != readings.end()) {
            m_storedReading = *reading;
            ui->txtTemp->setText(formatCentiDegrees(reading->centiDegrees));
            ui->chkTempExcluded->setChecked(reading->excluded);
        } else if (MemoDate == QDate::currentDate()) {
            // A morning entry: frame today, Enter, four digits, Alt+S.
            ui->txtTemp->setFocus();
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
        std::optional<TemperatureReading> reading;
        if (!ui->txtTemp->text().trimmed().isEmpty()) {
            const std::optional<int> value = parseTemperatureText(ui->txtTemp->text());
            if (!value) {
                showInfoBox(this, QStringLiteral(
                                      "体温は 34.00 から 42.00 までの数で入力してください（例: 36.52 または 3652）。"));
                ui->txtTemp->setFocus();
                ui->txtTemp->selectAll();
                return;
            }
            reading = TemperatureReading{MemoDate, *value, ui->chkTempExcluded->isChecked()};
        }
        if (reading != m_storedReading) {
            storeTemperatureReading(Variable::TempFilePath, MemoDate, reading);
        }
        // A morning reading alone adds no empty memo to a day that had none.
        if (m_hadMemo || !text.isEmpty() || !reading) {
            SaveMemo(Variable::MemoFilePath, MemoDate, text);
        }
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
