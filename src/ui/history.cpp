#include "history.h"
#include "ui_history.h"

#include "buttonkeys.h"
#include "datetext.h"
#include "fonts.h"
#include "guard.h"
#include "historyreport.h"
#include "look.h"
#include "pictures.h"
#include "printdialog.h"
#include "settings.h"
#include "symptompage.h"
#include "temperaturepage.h"
#include "variable.h"

#include <QDir>
#include <QFileDialog>
#include <QHeaderView>
#include <QPaintEvent>
#include <QPainter>
#include <QScreen>
#include <QScrollBar>
#include <QSignalBlocker>
#include <QTabWidget>

namespace {

constexpr int OwnLengthMode = 4;
// Room for the window manager's title bar and borders, known only once the window is shown.
constexpr int FrameAllowance = 40;

enum Column {
    DayColumn,
    LengthColumn,
    OffByColumn,
    MemoColumn,
    PeriodColumn,
    HeavyColumn,
    PainColumn,
    PainkillerColumn,
    LeftOutColumn,
    ColumnCount
};

// The bars at their full width inside the scroll area; each repaint draws only the bars it exposes.
class ChartView final : public QWidget
{
public:
    ChartView(const std::unique_ptr<CycleChart> &chart, QWidget *parent)
        : QWidget(parent)
        , m_chart(chart)
    {
    }

protected:
    void paintEvent(QPaintEvent *event) override
    {
        QPainter painter(this);
        const double scale = useLogicalUnits(painter);
        const QRectF area(0, 0, width() / scale, height() / scale);
        const QRectF exposed(event->rect().x() / scale, 0, event->rect().width() / scale, area.height());
        m_chart->draw(painter, area, 0, m_chart->cycleCount(), CycleChart::WindowSlot, exposed, false);
    }

private:
    const std::unique_ptr<CycleChart> &m_chart;
};

// The day scale left of the scroll area, level with its viewport, so it stays while the bars scroll.
class AxisView final : public QWidget
{
public:
    AxisView(const std::unique_ptr<CycleChart> &chart, const QScrollArea *area, QWidget *parent)
        : QWidget(parent)
        , m_chart(chart)
        , m_area(area)
    {
        setFixedWidth(qCeil(CycleChart::LeftMargin * logicalDpiX() / LogicalUnitsPerInch));
    }

protected:
    void paintEvent(QPaintEvent *) override
    {
        QPainter painter(this);
        painter.fillRect(rect(), Qt::white);
        painter.translate(0, m_area->viewport()->mapTo(m_area, QPoint(0, 0)).y());
        const double scale = useLogicalUnits(painter);
        m_chart->drawAxis(painter, QRectF(0, 0, width() / scale, m_area->viewport()->height() / scale));
    }

private:
    const std::unique_ptr<CycleChart> &m_chart;
    const QScrollArea *m_area;
};

} // namespace

TfrmHistory::TfrmHistory(std::optional<int> cycleLength, QWidget *parent)
    : QDialog(parent, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowCloseButtonHint | Qt::WindowMaximizeButtonHint)
    , ui(std::make_unique<Ui::frmHistory>())
    , m_cycleLength(cycleLength)
    , m_families(installedFamilies(QStringLiteral("ＭＳ ゴシック")))
{
    ui->setupUi(this);
    useDesignFont(this);
    followButtonConventions(this);
    ui->btmClose->setIcon(picture(Picture::Close));
    ui->btnPdf->setIcon(picture(Picture::Save));
    ui->btnCsv->setIcon(picture(Picture::Save));
    ui->btnPrint->setIcon(picture(Picture::List));
    const QFont textFont = designFont(m_families, 12);
    ui->txtStatistics->setFont(textFont);
    ui->tblCycles->setFont(textFont);
    ui->tblCycles->setColumnCount(ColumnCount);
    // Headers of two lines keep the table narrow enough for the check boxes to stay in view.
    ui->tblCycles->setHorizontalHeaderLabels(
        {QStringLiteral("開始日"), QStringLiteral("周期(日)"), QStringLiteral("予測との\nずれ(日)"),
         QStringLiteral("メモの\n日数"), QStringLiteral("月経期間\n(日)"), QStringLiteral("多い日"),
         QStringLiteral("痛み"), QStringLiteral("鎮痛剤\n(日)"), QStringLiteral("計算に\n入れない")});
    ui->tblCycles->verticalHeader()->hide();
    ui->tblCycles->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);

    connect(ui->btnPrint, &QPushButton::clicked, this, [this] { btnPrintClick(); });
    connect(ui->btnPdf, &QPushButton::clicked, this, [this] { btnPdfClick(); });
    connect(ui->btnCsv, &QPushButton::clicked, this, [this] { btnCsvClick(); });
    connect(ui->btmClose, &QPushButton::clicked, this, [this] { reject(); });
    connect(ui->tblCycles, &QTableWidget::itemChanged, this, [this](QTableWidgetItem *item) {
        if (item->column() == LeftOutColumn) {
            tblCyclesItemChanged(item->row());
        }
    });
    QScrollBar *bar = ui->chartArea->horizontalScrollBar();
    connect(bar, &QScrollBar::rangeChanged, this, [this, bar](int, int maximum) {
        if (m_followNewest) {
            bar->setValue(maximum);
        }
    });
    connect(bar, &QScrollBar::actionTriggered, this, [this] { m_followNewest = false; });

    m_axisView = new AxisView(m_chart, ui->chartArea, this);
    ui->chartLayout->insertWidget(0, m_axisView);
    m_axisView->hide();
    fitToScreen();
    FormCreate();
    m_temperaturePage =
        new TemperaturePage(Variable::DateFilePath, Variable::TempFilePath, m_stats.nextFirstDay, m_families, this);
    m_temperaturePage->attachTo(ui->gridLayout,
                                {ui->chartLayout, ui->gridLayout->itemAt(ui->gridLayout->indexOf(ui->lblNoData))});
    if (auto *tabs = findChild<QTabWidget *>(QStringLiteral("historyTabs"))) {
        m_symptomPage =
            new SymptomPage(symptomPattern(m_history.firstDays, m_history.dayRecords, m_excluded), m_families, tabs);
        tabs->addTab(m_symptomPage, QStringLiteral("症状 (&Y)"));
    }
    showStatistics();
}

TfrmHistory::~TfrmHistory()
{
    // Its viewport outlives ui by a moment while the dialog's children are deleted.
    ui->chartArea->viewport()->removeEventFilter(this);
}

void TfrmHistory::fitToScreen()
{
    const QScreen *screen = parentWidget() != nullptr ? parentWidget()->screen() : this->screen();
    if (screen == nullptr) {
        return;
    }
    const QRect room = screen->availableGeometry();
    resize(std::min(width(), room.width() - 16), std::min(height(), room.height() - FrameAllowance));
}

void TfrmHistory::FormCreate()
{
    ui->chartArea->hide();
    // Until both files have been read there is nothing true to print or save.
    const QList<QPushButton *> outputs = {ui->btnPrint, ui->btnPdf, ui->btnCsv};
    for (QPushButton *button : outputs) {
        button->setEnabled(false);
    }
    guarded(this, [&] {
        m_history = readCycleHistory(Variable::DateFilePath, Variable::MemoFilePath, Variable::DayFilePath);
        const IniFile settings(Variable::SettingFilePath);
        m_mode = settings.readInteger(QStringLiteral("Day Setting"), QStringLiteral("Daymode"), OwnLengthMode);
        m_excluded = readExcludedCycles(Variable::SettingFilePath);
        showHistory();
        for (QPushButton *button : outputs) {
            button->setEnabled(true);
        }
        if (m_chart->cycleCount() > 0) {
            m_chartView = new ChartView(m_chart, ui->chartArea);
            ui->chartArea->setWidget(m_chartView);
            ui->chartArea->viewport()->installEventFilter(this);
            fitChart();
            ui->lblNoData->hide();
            ui->chartArea->show();
            m_axisView->show();
        }
    });
}

void TfrmHistory::showHistory()
{
    m_stats = computeStatistics(m_history.firstDays, QDate::currentDate(), m_cycleLength, m_excluded, m_mode,
                                m_cycleLength.value_or(28));
    m_chart = std::make_unique<CycleChart>(m_history, m_stats, m_families, m_excluded);
    showStatistics();
    ui->chartArea->setAccessibleDescription(m_chart->description());
    fillTable();
    if (m_symptomPage != nullptr) {
        m_symptomPage->showPattern(symptomPattern(m_history.firstDays, m_history.dayRecords, m_excluded));
    }
    if (m_chartView != nullptr) {
        m_chartView->update();
        m_axisView->update();
    }
}

void TfrmHistory::showStatistics()
{
    QList<std::pair<QString, QString>> texts =
        statisticsTexts(m_stats) + outlookTexts(m_stats) +
        periodStatisticsTexts(cycleRecords(m_history.firstDays, m_history.dayRecords, m_excluded));
    // Once the current cycle's temperature rise is confirmed, the body's day stands beside the calendar's.
    if (m_temperaturePage != nullptr && m_temperaturePage->bodyNextStart()) {
        texts.append({QStringLiteral("体温から見た予定日"), formatDateText(*m_temperaturePage->bodyNextStart())});
    }
    QString statistics;
    for (const auto &[label, value] : texts) {
        statistics += label + QStringLiteral(": ") + value + u'\n';
    }
    ui->txtStatistics->setPlainText(statistics.trimmed());
}

void TfrmHistory::fillTable()
{
    const QSignalBlocker blocker(ui->tblCycles);
    const QList<HistoryRow> rows = historyRows(
        m_history, pastPredictions(m_history.firstDays, m_excluded, m_mode, m_cycleLength.value_or(28)), m_excluded);
    ui->tblCycles->setRowCount(int(rows.size()));
    for (int r = 0; r < rows.size(); ++r) {
        const QStringList cells = {rows[r].firstDay,
                                   rows[r].length,
                                   rows[r].offBy.isEmpty() ? rows[r].noOffBy : rows[r].offBy,
                                   QString::number(rows[r].memoDays),
                                   rows[r].periodDays,
                                   rows[r].heavyDays,
                                   rows[r].pain,
                                   rows[r].painkillerDays};
        for (int c = 0; c < cells.size(); ++c) {
            auto *item = new QTableWidgetItem(cells[c]);
            if (c == OffByColumn && rows[r].offBy.isEmpty()) {
                item->setToolTip(rows[r].noOffByReason);
            }
            item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable);
            item->setTextAlignment(c == DayColumn ? Qt::AlignLeft | Qt::AlignVCenter
                                                  : Qt::AlignRight | Qt::AlignVCenter);
            ui->tblCycles->setItem(r, c, item);
        }
        // Only a completed cycle has a length to leave out.
        auto *leftOut = new QTableWidgetItem();
        if (!rows[r].length.isEmpty()) {
            leftOut->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsUserCheckable);
            leftOut->setCheckState(m_excluded.contains(m_history.firstDays[r]) ? Qt::Checked : Qt::Unchecked);
            leftOut->setData(Qt::AccessibleTextRole, QStringLiteral("計算に入れない"));
        } else {
            leftOut->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable);
        }
        ui->tblCycles->setItem(r, LeftOutColumn, leftOut);
    }
    fitTableWidth();
}

void TfrmHistory::fitTableWidth()
{
    // As wide as its columns and the scroll bar, so that no column, 計算に入れない least of all, is
    // left to a horizontal scroll bar, whatever the font and the screen's scale.
    QTableWidget *table = ui->tblCycles;
    int width = 2 * table->frameWidth() + table->verticalScrollBar()->sizeHint().width();
    table->resizeColumnsToContents();
    for (int c = 0; c < table->columnCount(); ++c) {
        width += table->horizontalHeader()->sectionSize(c);
    }
    table->setFixedWidth(width);
}

void TfrmHistory::tblCyclesItemChanged(int row)
{
    guarded(this, [&] {
        const QDate day = m_history.firstDays.value(row);
        QSet<QDate> excluded = m_excluded;
        if (ui->tblCycles->item(row, LeftOutColumn)->checkState() == Qt::Checked) {
            excluded.insert(day);
        } else {
            excluded.remove(day);
        }
        try {
            writeExcludedCycles(Variable::SettingFilePath, excluded);
        } catch (const AppError &) {
            fillTable(); // the box shows what is stored
            throw;
        }
        m_excluded = excluded;
        const int scroll = ui->tblCycles->verticalScrollBar()->value();
        showHistory();
        ui->tblCycles->verticalScrollBar()->setValue(scroll);
        ui->tblCycles->setCurrentCell(row, LeftOutColumn);
    });
}

void TfrmHistory::fitChart()
{
    if (m_chartView == nullptr) {
        return;
    }
    const double scale = m_chartView->logicalDpiX() / LogicalUnitsPerInch;
    const int needed = qCeil(CycleChart::widthFor(m_chart->cycleCount(), CycleChart::WindowSlot, false) * scale);
    const QSize room = ui->chartArea->viewport()->size();
    m_chartView->setFixedSize(std::max(needed, room.width()), room.height());
    if (m_followNewest) {
        ui->chartArea->horizontalScrollBar()->setValue(ui->chartArea->horizontalScrollBar()->maximum());
    }
    m_axisView->update();
}

bool TfrmHistory::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == ui->chartArea->viewport() && event->type() == QEvent::Resize) {
        fitChart();
    }
    return QDialog::eventFilter(watched, event);
}

void TfrmHistory::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    fitChart();
    // The newest cycles first: the chart at its right end, the table at its last line.
    ui->chartArea->horizontalScrollBar()->setValue(ui->chartArea->horizontalScrollBar()->maximum());
    if (ui->tblCycles->rowCount() > 0) {
        ui->tblCycles->scrollToBottom();
    }
}

HistoryReport TfrmHistory::report() const
{
    HistoryReport report(m_history, m_stats, QDate::currentDate(), ui->ChkMemo->isChecked(), m_families, m_excluded);
    report.addTemperaturePages(m_temperaturePage->cycles(), m_temperaturePage->bodies());
    return report;
}

QString TfrmHistory::chooseSavePath(const QString &title, const QString &name, const QString &filter)
{
    return QFileDialog::getSaveFileName(this, title, QDir::home().filePath(name), filter);
}

void TfrmHistory::btnPrintClick()
{
    guarded(this, [this] {
        // "Print to file" is saved like the PDF button's file: atomically and private to her.
        showPrintDialog(this, {QStringLiteral("生理の履歴"),
                               [this](QPagedPaintDevice &printer) { paintReport(printer, report()); },
                               [this](const QString &pdfPath) { writeReportPdf(pdfPath, report()); }});
    });
}

void TfrmHistory::btnPdfClick()
{
    guarded(this, [this] {
        const QString path = chooseSavePath(QStringLiteral("PDFに保存"), QStringLiteral("eveluna-履歴.pdf"),
                                            QStringLiteral("PDF (*.pdf)"));
        if (!path.isEmpty()) {
            writeReportPdf(path, report());
        }
    });
}

void TfrmHistory::btnCsvClick()
{
    guarded(this, [this] {
        const QString path = chooseSavePath(QStringLiteral("CSVに書き出す"), QStringLiteral("eveluna-履歴.csv"),
                                            QStringLiteral("CSV (*.csv)"));
        if (!path.isEmpty()) {
            writePrivateFile(path, historyCsv(m_history));
        }
    });
}
