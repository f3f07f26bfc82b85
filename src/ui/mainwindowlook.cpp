// The main window's fixed look: its size, fonts, colours, frames, pictures and accessible names, set once
// when it is created, before the first paint.

#include "mainwindow.h"

#include "buttonkeys.h"
#include "daygrid.h"
#include "entry.h"
#include "fonts.h"
#include "look.h"
#include "pictures.h"
#include "ui_mainwindow.h"

#include <array>

void TfrmMain::setUpLook()
{
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowCloseButtonHint);
    setFixedSize(444, 273); // the design's 231, a row for the body's legend and the line of the next period
    setWindowIcon(picture(Picture::Calendar));
    centreOnScreen(this);

    const QStringList captionFamilies = font().families();
    ui->lblyyyymm->setFont(designFont(installedFamilies(QStringLiteral("ＭＳ ゴシック")), 15, true));
    setCaptionColor(ui->lblyyyymm, QColor(0, 0, 128));

    const QList<QLabel *> headers = {ui->pnlWeek01, ui->pnlWeek02, ui->pnlWeek03, ui->pnlWeek04,
                                     ui->pnlWeek05, ui->pnlWeek06, ui->pnlWeek07};
    for (QLabel *header : headers) {
        header->setFont(designFont(japaneseFamilies(captionFamilies), 15));
        const QColor color = header == ui->pnlWeek01   ? QColor(Qt::red)
                             : header == ui->pnlWeek07 ? QColor(Qt::blue)
                                                       : QColor(Qt::black);
        setPanelColors(header, Qt::white, color);
    }

    for (int k = 1; k <= Calendar::CellCount; ++k) {
        QLabel *cell = findChild<QLabel *>(QStringLiteral("pnlDay%1").arg(k, 2, 10, QLatin1Char('0')));
        Q_ASSERT(cell);
        cell->setFont(designFont(captionFamilies, 13));
        // Until the first paint the cells show the frame colour of a window border.
        setPanelColors(cell, QColor(180, 180, 180), Qt::black);
        cell->installEventFilter(this);
        m_cells[k - 1] = cell;
    }
    // Black frames for the coloured Sunday and Saturday captions too (a style draws a frame in the text
    // colour), even at every screen density. A style sheet would cost Qt's style sheet machinery at
    // start-up (about 0.6 MiB of memory and a millisecond).
    QList<QFrame *> gridCells(headers.begin(), headers.end());
    gridCells.append(QList<QFrame *>(m_cells.begin(), m_cells.end()));
    frameGridCells(gridCells, Qt::black);
    setUpBodyLegend();
    m_grid = new DayGridFocus(m_cells, ui->Panel1);
    // In the tab cycle between the last command button and the cycle controls; the window still opens
    // with the focus on the first of the cycle controls.
    setTabOrder(ui->btmClose, m_grid);
    ui->btnReturn->setAccessibleName(QStringLiteral("前の月"));
    ui->btnNext->setAccessibleName(QStringLiteral("次の月"));
    ui->cmbSyuki->setAccessibleName(QStringLiteral("周期設定"));
    ui->txtSyuki->setAccessibleName(QStringLiteral("周期の日数"));
    ui->txtNext->setAccessibleName(QStringLiteral("周期先を表示する"));

    const std::array<std::pair<QLabel *, DayCategory>, 6> legend = {{
        {ui->Panel_01, DayCategory::ThisPeriod},
        {ui->Panel_02, DayCategory::SemiUnlikelyDays},
        {ui->Panel_03, DayCategory::SemiLikelyDays},
        {ui->Panel_04, DayCategory::LikelyDays},
        {ui->Panel_05, DayCategory::UnlikelyDays},
        {ui->Panel_06, DayCategory::NextPeriod},
    }};
    for (const auto &[panel, category] : legend) {
        panel->setText(categoryCaption(category));
        setPanelColors(panel, QColor::fromRgb(colorToArgb(categoryColor(category))), Qt::black);
    }
    ui->Panel_07->setText(PmsCaption);
    setPanelColors(ui->Panel_07, Qt::white, Qt::black);
    setCellBand(ui->Panel_07, Qt::white, true);

    ui->btnReturn->setIcon(picture(Picture::PreviousMonth));
    ui->btnNext->setIcon(picture(Picture::NextMonth));
    ui->btnToday->setIcon(picture(Picture::Today));
    ui->btnMemo->setIcon(picture(Picture::Memo));
    ui->btnEntry->setIcon(picture(Picture::Entry));
    ui->btnView->setIcon(picture(Picture::List));
    ui->btnMail->setIcon(picture(Picture::Mail));
    ui->btnNotice->setIcon(picture(Picture::Notice));
    ui->btnHelp->setIcon(picture(Picture::Help));
    ui->btmClose->setIcon(picture(Picture::Exit));

    for (QLineEdit *box : {ui->txtSyuki, ui->txtNext}) {
        // Every typed character goes through the digit filter; an input method would bypass it.
        box->setAttribute(Qt::WA_InputMethodEnabled, false);
        box->installEventFilter(this);
    }
    ui->UpDown->setRange(-1, 12);
    ui->UpDown->setAssociate(ui->txtNext);
    ui->UpDown->setPosition(0);
    followButtonConventions(this);
}
