#include "memo.h"

#include "buttonkeys.h"
#include "datetext.h"
#include "dayrecordfile.h"
#include "dayrecordpanel.h"
#include "firstdayrule.h"
#include "fonts.h"
#include "guard.h"
#include "help.h"
#include "look.h"
#include "memofile.h"
#include "periodfile.h"
#include "pictures.h"
#include "temperaturefile.h"
#include "ui_memo.h"
#include "variable.h"

#include <QMessageBox>
#include <QPushButton>

namespace {

const QString crlf = QStringLiteral("\r\n");
const QString lf = QStringLiteral("\n");

// A yes/no question with "いいえ" as the default, so that Enter pressed by habit stores nothing.
bool askYesNo(QWidget *parent, const QString &question)
{
    QMessageBox ask(QMessageBox::Question, QStringLiteral("確認"), question, QMessageBox::Yes | QMessageBox::No,
                    parent);
    ask.button(QMessageBox::Yes)->setText(QStringLiteral("はい(&Y)"));
    ask.button(QMessageBox::No)->setText(QStringLiteral("いいえ(&N)"));
    ask.setDefaultButton(QMessageBox::No);
    useDesignFont(&ask);
    return ask.exec() == QMessageBox::Yes;
}

bool isBleeding(const std::optional<Flow> &flow)
{
    return flow && *flow != Flow::Spotting;
}

// Whether bleeding on day would begin a period that date.dat does not hold yet: no bleeding in the ten
// days before it and no first day registered within ten days of it (the rule the import uses).
bool beginsUnregisteredPeriod(const QDate &day, const QList<DayRecord> &records, const QList<QDate> &firstDays)
{
    QList<QDate> bleeding{day};
    for (const DayRecord &r : records) {
        if (r.date < day && r.date >= day.addDays(-TenDayRuleDays) && isBleeding(r.flow)) {
            bleeding.append(r.date);
        }
    }
    return firstDaysFromBleeding(bleeding).contains(day) && !samePeriodFirstDay(firstDays, day).isValid();
}

} // namespace

TfrmMemo::TfrmMemo(QWidget *parent)
    : QDialog(parent)
    , ui(std::make_unique<Ui::frmMemo>())
{
    ui->setupUi(this);
    ui->txtTemp->setAccessibleDescription(
        QStringLiteral("%1から%2までの℃、小数点なしの4桁でも入力できます")
            .arg(formatCentiDegrees(MinCentiDegrees), formatCentiDegrees(MaxCentiDegrees)));
    installHelpKey(this, QStringLiteral("memo.html"));
    followButtonConventions(this);
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint);
    setFixedSize(789, 303);
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
        const QList<DayRecord> records = readDayFile(Variable::DayFilePath).records;
        const auto record =
            std::find_if(records.begin(), records.end(), [this](const DayRecord &r) { return r.date == MemoDate; });
        m_storedRecord = record != records.end() ? *record : DayRecord();
        m_storedRecord.date = MemoDate;
        ui->pnlDayRecord->setRecord(m_storedRecord);
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
                showInfoBox(this,
                            QStringLiteral("体温は %1 から %2 までの数で入力してください（例: 36.52 または 3652）。")
                                .arg(formatCentiDegrees(MinCentiDegrees), formatCentiDegrees(MaxCentiDegrees)));
                ui->txtTemp->setFocus();
                ui->txtTemp->selectAll();
                return;
            }
            reading = TemperatureReading{MemoDate, *value, ui->chkTempExcluded->isChecked()};
        }
        const std::optional<DayRecord> record = ui->pnlDayRecord->record();
        if (!record) {
            showInfoBox(this, DayRecordPanel::weightRangeNotice());
            ui->pnlDayRecord->weightField()->setFocus();
            ui->pnlDayRecord->weightField()->selectAll();
            return;
        }
        if (reading && reading != m_storedReading && MemoDate > QDate::currentDate() &&
            !askYesNo(this, QStringLiteral("%1 はまだ来ていない日です。この日の体温として保存しますか？")
                                .arg(formatDateText(MemoDate)))) {
            ui->txtTemp->setFocus();
            return;
        }
        if (reading != m_storedReading) {
            storeTemperatureReading(Variable::TempFilePath, MemoDate, reading);
        }
        // An empty memo is no memo: a day that had one loses it, a day without one gets none.
        if (!text.isEmpty()) {
            SaveMemo(Variable::MemoFilePath, MemoDate, text);
        } else if (m_hadMemo) {
            DeleteMemo(Variable::MemoFilePath, MemoDate);
        }
        if (*record != m_storedRecord) {
            storeDayRecord(Variable::DayFilePath, MemoDate, record);
            askFirstDay(*record);
        }
        accept();
    });
}

// Asked once, when the day turns from no bleeding to bleeding; いいえ keeps only the record.
void TfrmMemo::askFirstDay(const DayRecord &record)
{
    if (!isBleeding(record.flow) || isBleeding(m_storedRecord.flow)) {
        return;
    }
    const QList<QDate> firstDays = readFirstDaysAscending(Variable::DateFilePath);
    if (beginsUnregisteredPeriod(MemoDate, readDayFile(Variable::DayFilePath).records, firstDays) &&
        askYesNo(this, QStringLiteral("この日を生理開始日として登録しますか?"))) {
        AddPeriodStart(Variable::DateFilePath, MemoDate);
    }
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
