// PMSが出やすい時期 on the main window: the days before the next period when her symptoms usually come, as
// eveluna --status places them, marked by a band along the bottom of their cells and explained by the
// legend's last entry.

#include "mainwindow.h"

#include "daygrid.h"
#include "errors.h"
#include "statusreport.h"
#include "ui_mainwindow.h"
#include "variable.h"

void TfrmMain::showPmsHint()
{
    ui->Panel_07->setToolTip(QStringLiteral("次の生理の前で、これまでの周期の半分以上で症状を記録した日\n"
                                            "(日々の記録がある周期が3つ以上あるとき、日付の下の線)"));
}

void TfrmMain::findPmsDays()
{
    m_pms.reset();
    try {
        m_pms = pmsForecastOfFiles(Variable::DateFilePath, Variable::SettingFilePath, Variable::DayFilePath,
                                   Variable::TempFilePath, today());
    } catch (const AppError &) {
        // date.dat's own errors reach her through the cycle length; a dateDay.dat that cannot be read
        // now only leaves the band out.
    }
}

bool TfrmMain::isPmsDay(const QDate &date) const
{
    return m_pms && date.isValid() && date >= m_pms->first && date <= m_pms->last;
}

void TfrmMain::markPmsDay(QLabel *cell, const QColor &color)
{
    if (isPmsDay(cellDate(cell))) {
        setCellBand(cell, color, true);
    }
}
