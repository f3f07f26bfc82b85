#pragma once

#include "cyclechart.h"
#include "cyclehistory.h"

#include <QDialog>

#include <memory>
#include <optional>

class HistoryReport;
class SymptomPage;
class TemperaturePage;

namespace Ui {
class frmHistory;
}

// The history window: the chart of the completed cycles, their statistics and the table of first days,
// with printing, a PDF report and a CSV export. It reads both data files when it opens and never writes
// them; the cycles she leaves out ("計算に入れない") go to setting.ini at once. What it saves goes where
// the user chooses, readable by the user only. It opens within the screen's free area, the chart
// scrolled to the newest cycle under a day scale that stays put.
class TfrmHistory final : public QDialog
{
    Q_OBJECT

public:
    // cycleLength is the calendar's current cycle length (the predicted next first day is the newest first
    // day plus it), none when the calendar has none.
    explicit TfrmHistory(std::optional<int> cycleLength, QWidget *parent = nullptr);
    ~TfrmHistory() override;

protected:
    void showEvent(QShowEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void FormCreate();
    // Statistics, chart and table from m_history and m_excluded.
    void showHistory();
    // The 統計 box: the history's figures, the outlook and, once confirmed, the body's next first day.
    void showStatistics();
    void fillTable();
    void fitTableWidth();
    void tblCyclesItemChanged(int row);
    void fitToScreen();
    void btnPrintClick();
    void btnPdfClick();
    void btnCsvClick();

    // The chart as tall as the scroll area and at least as wide.
    void fitChart();
    HistoryReport report() const;
    // A save dialog starting at ~/name; empty when she cancels.
    QString chooseSavePath(const QString &title, const QString &name, const QString &filter);

    std::unique_ptr<Ui::frmHistory> ui;
    std::optional<int> m_cycleLength;
    QStringList m_families;
    CycleHistory m_history;
    CycleStatistics m_stats;
    std::unique_ptr<CycleChart> m_chart;
    QWidget *m_chartView = nullptr;
    QWidget *m_axisView = nullptr;
    QSet<QDate> m_excluded;
    int m_mode = 4;
    // The chart stays at its newest cycle until she scrolls it herself.
    bool m_followNewest = true;
    TemperaturePage *m_temperaturePage = nullptr; // the 基礎体温 tab
    SymptomPage *m_symptomPage = nullptr;         // the 症状 tab
};
