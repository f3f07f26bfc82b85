// PMSが出やすい時期 on the main window: the days before the next period when her symptoms usually come, as
// eveluna --status places them, marked by a band along the bottom of their cells and explained by the
// legend's last entry.

#include "mainwindow.h"

#include "daygrid.h"
#include "errors.h"
#include "guard.h"
#include "statusreport.h"
#include "ui_mainwindow.h"
#include "variable.h"

#include <QTimer>

void TfrmMain::showPmsHint()
{
    ui->Panel_07->setToolTip(QStringLiteral("次の生理の前で、これまでの周期の半分以上で症状を記録した日\n"
                                            "(日々の記録がある周期が3つ以上あるとき、日付の下の線)"));
}

void TfrmMain::findPmsDays()
{
    // After the month is painted: reading dateDay.dat (and, when it shows PMS days, dateTemp.dat) for the
    // band keeps the window's first paint as quick as without the records; the band follows a moment later.
    QTimer::singleShot(0, this, [this] {
        if (m_destroying) {
            return;
        }
        guarded(this, [this] {
            m_pms.reset();
            try {
                m_pms = pmsForecastOfFiles(Variable::DateFilePath, Variable::SettingFilePath, Variable::DayFilePath,
                                           Variable::TempFilePath, today());
            } catch (const AppError &) {
                // date.dat's own errors reach her through the cycle length; a dateDay.dat that cannot be
                // read now only leaves the band out.
            }
            for (int k = 1; k <= Calendar::CellCount; ++k) {
                QLabel *cell = m_cells[k - 1];
                setCellBand(cell, QColor::fromRgb(colorToArgb(m_engine->DayColor(k))), isPmsDay(cellDate(cell)));
            }
            describeCells();
        });
    });
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
