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
#include "temperaturepage.h"
#include "variable.h"

#include <QDir>
#include <QFileDialog>
#include <QPaintEvent>
#include <QPainter>
#include <QScrollBar>

namespace {

// The chart at its full width inside the scroll area; each repaint draws only the bars it exposes.
class ChartView final : public QWidget
{
public:
    ChartView(const CycleChart &chart, QWidget *parent)
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
        m_chart.draw(painter, area, 0, m_chart.cycleCount(), CycleChart::WindowSlot, exposed);
    }

private:
    const CycleChart &m_chart;
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
    ui->txtTable->setFont(textFont);
    ui->txtTable->setTabStopDistance(QFontMetricsF(textFont).horizontalAdvance(u'0') * 12);

    connect(ui->btnPrint, &QPushButton::clicked, this, [this] { btnPrintClick(); });
    connect(ui->btnPdf, &QPushButton::clicked, this, [this] { btnPdfClick(); });
    connect(ui->btnCsv, &QPushButton::clicked, this, [this] { btnCsvClick(); });
    connect(ui->btmClose, &QPushButton::clicked, this, [this] { reject(); });

    FormCreate();
    m_temperaturePage =
        new TemperaturePage(Variable::DateFilePath, Variable::TempFilePath, m_stats.nextFirstDay, m_families, this);
    m_temperaturePage->attachTo(ui->gridLayout, {ui->chartArea, ui->lblNoData});
}

TfrmHistory::~TfrmHistory()
{
    // Its viewport outlives ui by a moment while the dialog's children are deleted.
    ui->chartArea->viewport()->removeEventFilter(this);
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
        m_history = readCycleHistory(Variable::DateFilePath, Variable::MemoFilePath);
        m_stats = computeStatistics(m_history.firstDays, QDate::currentDate(), m_cycleLength);
        m_chart = std::make_unique<CycleChart>(m_history, m_stats, m_families);

        QString statistics;
        for (const auto &[label, value] : statisticsTexts(m_stats)) {
            statistics += label + QStringLiteral(": ") + value + u'\n';
        }
        ui->txtStatistics->setPlainText(statistics.trimmed());

        QStringList table = {QStringLiteral("開始日\t周期(日)\tメモの日数")};
        for (const HistoryRow &row : historyRows(m_history)) {
            table.append(row.firstDay + u'\t' + row.length + u'\t' + QString::number(row.memoDays));
        }
        ui->txtTable->setPlainText(table.join(u'\n'));
        for (QPushButton *button : outputs) {
            button->setEnabled(true);
        }

        if (m_chart->cycleCount() > 0) {
            m_chartView = new ChartView(*m_chart, ui->chartArea);
            ui->chartArea->setWidget(m_chartView);
            ui->chartArea->viewport()->installEventFilter(this);
            fitChart();
            ui->chartArea->setAccessibleDescription(m_chart->description());
            ui->lblNoData->hide();
            ui->chartArea->show();
        }
    });
}

void TfrmHistory::fitChart()
{
    if (m_chartView == nullptr) {
        return;
    }
    const double scale = m_chartView->logicalDpiX() / LogicalUnitsPerInch;
    const int needed = qCeil(CycleChart::widthFor(m_chart->cycleCount(), CycleChart::WindowSlot) * scale);
    const QSize room = ui->chartArea->viewport()->size();
    m_chartView->setFixedSize(std::max(needed, room.width()), room.height());
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
    ui->txtTable->moveCursor(QTextCursor::End);
    ui->txtTable->ensureCursorVisible();
}

HistoryReport TfrmHistory::report() const
{
    HistoryReport report(m_history, m_stats, QDate::currentDate(), ui->ChkMemo->isChecked(), m_families);
    report.addTemperaturePages(m_temperaturePage->cycles());
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
