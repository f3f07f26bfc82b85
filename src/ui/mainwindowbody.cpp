// Her body's signs on the main window: the phase of the cycle that holds today, from her readings, mucus
// and ovulation tests, marked over the calendar rule's colours, told in the cells' descriptions and
// explained by two legend entries below the cycle controls.

#include "mainwindow.h"

#include "bodymarks.h"
#include "datetext.h"
#include "errors.h"
#include "fertilitystatus.h"
#include "ui_mainwindow.h"
#include "variable.h"

namespace {

QString fertileHint()
{
    return QStringLiteral("おりもの・排卵検査薬・基礎体温の記録から見た妊娠しやすい時期 (枠の印)。"
                          "おりものが湿った感じ (f) 以上になった日、排卵検査薬が陽性になった日、"
                          "前の周期の体温から決まる最初の数日の翌日のうち、いちばん早い日に始まります。"
                          "おりもののピークと体温の上昇の両方がそろった日の夜に終わります。"
                          "左上の三角は、排卵検査薬が陽性になった日から3日間です (排卵は1〜2日以内の見込み)。");
}

QString postHint()
{
    return QStringLiteral("おりものと基礎体温の記録から見た排卵後 (右下の三角)。"
                          "妊娠しやすい時期が終わった翌日から、次の生理が始まるまでです。");
}

} // namespace

void TfrmMain::setUpBodyLegend()
{
    const QFont font = ui->Panel_01->font();
    m_bodyLegend[0] = new BodyLegendEntry(BodyMark::Fertile, bodyFertileCaption(), this);
    m_bodyLegend[0]->setGeometry(8, 229, 214, 20);
    m_bodyLegend[1] = new BodyLegendEntry(BodyMark::Post, bodyPostCaption(), this);
    m_bodyLegend[1]->setGeometry(226, 229, 210, 20);
    for (BodyLegendEntry *entry : m_bodyLegend) {
        entry->setFont(font);
        entry->setAccessibleName(entry->text());
    }
    m_bodyMarks = new BodyMarkLayer(m_cells, ui->Panel1);
}

void TfrmMain::readBodySigns()
{
    m_body.reset();
    m_bodyNextFirstDay = QDate();
    QStringList signs;
    // The marks add to the calendar; a file that cannot be read now leaves them out rather than the
    // calendar (the day dialog and the history report the file).
    try {
        const QDate day = today();
        const QList<FertilityResult> cycles = readFertileCycles(Variable::DateFilePath, Variable::TempFilePath,
                                                                readDayFile(Variable::DayFilePath).records, day);
        const FertilityResult *cycle = cycleOfDay(cycles, day);
        if (cycle && cycle->speaks) {
            m_body = *cycle;
            if (cycle != &cycles.back()) {
                m_bodyNextFirstDay = (cycle + 1)->start;
            }
            signs = cycle->signsOn(day);
        }
    } catch (const AppError &) {
    }
    const QString now = signs.isEmpty() ? QString() : QStringLiteral("\n今の周期で決めたサイン: ") + signNames(signs);
    const BodyPhase phase = m_body ? m_body->phaseOn(today()) : BodyPhase::Unknown;
    m_bodyLegend[0]->setToolTip(fertileHint() + (phase == BodyPhase::Fertile ? now : QString()));
    m_bodyLegend[1]->setToolTip(postHint() + (phase == BodyPhase::Post ? now : QString()));
    for (BodyLegendEntry *entry : m_bodyLegend) {
        entry->setAccessibleDescription(entry->toolTip());
    }
}

void TfrmMain::paintBodyMarks()
{
    std::array<BodyMark, Calendar::CellCount> marks{};
    if (m_body) {
        // Column 0 is Sunday; QDate counts Monday 1 .. Sunday 7.
        const QDate first(ViewYear, ViewMonth, 1);
        const int lead = first.dayOfWeek() % 7;
        QDate next = m_bodyNextFirstDay;
        if (!next.isValid()) {
            bool isNumber = false;
            const int length = ui->txtSyuki->text().toInt(&isNumber);
            next = isNumber && length > 0 ? m_body->start.addDays(length) : QDate();
        }
        for (int k = 0; k < Calendar::CellCount; ++k) {
            const QDate day = first.addDays(k - lead);
            if (day.month() == ViewMonth) {
                marks[std::size_t(k)] = bodyMarkOf(*m_body, day, today(), next);
            }
        }
    }
    m_bodyMarks->setMarks(marks);
}

QString TfrmMain::bodySignText(const QDate &date) const
{
    const int lead = QDate(ViewYear, ViewMonth, 1).dayOfWeek() % 7;
    const int cell = lead + date.day() - 1;
    return cell >= 0 && cell < Calendar::CellCount ? bodyMarkDescription(m_bodyMarks->mark(cell)) : QString();
}
