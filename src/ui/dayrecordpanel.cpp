#include "dayrecordpanel.h"

#include "daywords.h"
#include "ui_dayrecordpanel.h"

#include <QCheckBox>

namespace {

// The check boxes in the order of SymptomTokens.
QList<QCheckBox *> symptomBoxes(Ui::DayRecordPanel &ui)
{
    return {ui.chkSymptomCramps, ui.chkSymptomBackache, ui.chkSymptomHeadache,  ui.chkSymptomBreasts,
            ui.chkSymptomNausea, ui.chkSymptomSkin,     ui.chkSymptomBloating,  ui.chkSymptomSleepy,
            ui.chkSymptomBowel,  ui.chkSymptomFatigue,  ui.chkSymptomIrritable, ui.chkSymptomLow,
            ui.chkSymptomAnxious};
}

// The bleeding choices and the symptoms in the day record's own words, which the calendar and the history
// use too.
void fillWords(Ui::DayRecordPanel &form)
{
    form.cmbFlow->addItem(QStringLiteral("なし"));
    for (const Flow flow : {Flow::Spotting, Flow::Light, Flow::Medium, Flow::Heavy}) {
        form.cmbFlow->addItem(flowCaption(flow));
    }
    const QList<QCheckBox *> boxes = symptomBoxes(form);
    for (size_t i = 0; i < SymptomTokens.size(); ++i) {
        const QString caption = symptomCaption(QLatin1String(SymptomTokens[i]));
        boxes[qsizetype(i)]->setText(caption);
        boxes[qsizetype(i)]->setAccessibleName(caption);
    }
}

// Index 0 of each list is "not recorded"; the values follow in the order of their enum.
template<typename T> int indexOf(const std::optional<T> &value)
{
    return value ? int(*value) + 1 : 0;
}

template<typename T> std::optional<T> valueAt(int index)
{
    return index > 0 ? std::optional<T>(T(index - 1)) : std::nullopt;
}

} // namespace

DayRecordPanel::DayRecordPanel(QWidget *parent)
    : QWidget(parent)
    , ui(std::make_unique<Ui::DayRecordPanel>())
{
    ui->setupUi(this);
    fillWords(*ui);
    ui->txtWeight->setAccessibleDescription(
        QStringLiteral("%1から%2までのkg、小数は1桁")
            .arg(formatWeightTenths(MinWeightTenths), formatWeightTenths(MaxWeightTenths)));
    ui->cmbMucus->setAccessibleDescription(QStringLiteral(
        "乾いている (t)、何も感じない (Ø)、湿っている (f)、白く粘る・クリーム状 (S)、透明で伸びる・ぬるぬる (S+)"));
}

DayRecordPanel::~DayRecordPanel() = default;

QLineEdit *DayRecordPanel::weightField() const
{
    return ui->txtWeight;
}

namespace {

// The words of the form's choices, read from it once: the list and the form always say the same.
struct Captions
{
    QStringList flow, pain, mucus, lh, pill, sex, symptoms;
};

const Captions &captions()
{
    static const Captions words = [] {
        Ui::DayRecordPanel form;
        QWidget holder;
        form.setupUi(&holder);
        fillWords(form);
        const auto items = [](const QComboBox *box) {
            QStringList texts;
            for (int i = 0; i < box->count(); ++i) {
                texts << box->itemText(i);
            }
            return texts;
        };
        Captions c{items(form.cmbFlow),
                   items(form.cmbPain),
                   items(form.cmbMucus),
                   items(form.cmbLh),
                   items(form.cmbPill),
                   items(form.cmbSex),
                   {}};
        for (const QCheckBox *box : symptomBoxes(form)) {
            c.symptoms << box->text();
        }
        return c;
    }();
    return words;
}

} // namespace

QString DayRecordPanel::summary(const DayRecord &record)
{
    const Captions &words = captions();
    QStringList parts;
    if (record.flow) {
        parts << QStringLiteral("出血:") + words.flow.value(indexOf(record.flow));
    }
    if (record.pain > 0) {
        parts << QStringLiteral("痛み:") + words.pain.value(record.pain);
    }
    if (record.painkiller) {
        parts << QStringLiteral("鎮痛剤");
    }
    for (size_t i = 0; i < SymptomTokens.size(); ++i) {
        if (record.symptoms.contains(QLatin1String(SymptomTokens[i]))) {
            parts << words.symptoms.value(qsizetype(i));
        }
    }
    if (record.mucus) {
        parts << QStringLiteral("おりもの:") + words.mucus.value(*record.mucus + 1);
    }
    if (record.lh) {
        parts << QStringLiteral("排卵検査薬:") + words.lh.value(indexOf(record.lh));
    }
    if (record.pill) {
        parts << QStringLiteral("ピル:") + words.pill.value(indexOf(record.pill));
    }
    if (record.sex) {
        parts << QStringLiteral("性交:") + words.sex.value(indexOf(record.sex));
    }
    if (record.weightTenths) {
        parts << QStringLiteral("体重:") + formatWeightTenths(*record.weightTenths);
    }
    if (parts.isEmpty()) {
        parts << QStringLiteral("（この版では読めない記録）");
    }
    return parts.join(u'・');
}

QString DayRecordPanel::weightRangeNotice()
{
    return QStringLiteral("体重は %1 から %2 までの kg で入力してください（例: 52.3）。")
        .arg(formatWeightTenths(MinWeightTenths), formatWeightTenths(MaxWeightTenths));
}

void DayRecordPanel::setRecord(const DayRecord &record)
{
    m_shown = record;
    ui->cmbFlow->setCurrentIndex(indexOf(record.flow));
    ui->cmbPain->setCurrentIndex(record.pain);
    ui->chkPainkiller->setChecked(record.painkiller);
    const QList<QCheckBox *> boxes = symptomBoxes(*ui);
    for (size_t i = 0; i < SymptomTokens.size(); ++i) {
        boxes[qsizetype(i)]->setChecked(record.symptoms.contains(QLatin1String(SymptomTokens[i])));
    }
    ui->cmbMucus->setCurrentIndex(record.mucus ? *record.mucus + 1 : 0);
    ui->cmbLh->setCurrentIndex(indexOf(record.lh));
    ui->cmbPill->setCurrentIndex(indexOf(record.pill));
    ui->cmbSex->setCurrentIndex(indexOf(record.sex));
    ui->txtWeight->setText(record.weightTenths ? formatWeightTenths(*record.weightTenths) : QString());
}

std::optional<DayRecord> DayRecordPanel::record() const
{
    DayRecord record = m_shown;
    record.flow = valueAt<Flow>(ui->cmbFlow->currentIndex());
    record.pain = ui->cmbPain->currentIndex();
    record.painkiller = ui->chkPainkiller->isChecked();
    record.symptoms.clear();
    const QList<QCheckBox *> boxes = symptomBoxes(*ui);
    for (size_t i = 0; i < SymptomTokens.size(); ++i) {
        if (boxes[qsizetype(i)]->isChecked()) {
            record.symptoms.append(QLatin1String(SymptomTokens[i]));
        }
    }
    const int mucus = ui->cmbMucus->currentIndex();
    record.mucus = mucus > 0 ? std::optional<int>(mucus - 1) : std::nullopt;
    record.lh = valueAt<LhResult>(ui->cmbLh->currentIndex());
    record.pill = valueAt<PillState>(ui->cmbPill->currentIndex());
    record.sex = valueAt<SexState>(ui->cmbSex->currentIndex());
    record.weightTenths.reset();
    if (!ui->txtWeight->text().trimmed().isEmpty()) {
        record.weightTenths = parseWeightText(ui->txtWeight->text());
        if (!record.weightTenths) {
            return std::nullopt;
        }
    }
    return record;
}
