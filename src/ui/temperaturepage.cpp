#include "temperaturepage.h"

#include "cyclechart.h"
#include "errors.h"
#include "guard.h"
#include "periodfile.h"
#include "temperaturechart.h"
#include "temperaturestatus.h"
#include "variable.h"

#include <QAccessible>
#include <QGridLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QTabWidget>
#include <QVBoxLayout>

namespace {

class ChartView final : public QWidget
{
public:
    using QWidget::QWidget;
    const CycleTemperature *cycle = nullptr;
    TemperatureChartFigures figures;
    QStringList families;

protected:
    void paintEvent(QPaintEvent *) override
    {
        QPainter painter(this);
        const double scale = useLogicalUnits(painter);
        const QRectF area(0, 0, width() / scale, height() / scale);
        if (cycle == nullptr) {
            painter.fillRect(area, Qt::white);
            painter.drawText(area, Qt::AlignCenter, QStringLiteral("体温の記録はまだありません"));
            return;
        }
        drawTemperatureChart(painter, area, *cycle, families, figures);
    }
};

} // namespace

TemperaturePage::TemperaturePage(const QString &datePath, const QString &tempPath,
                                 std::optional<QDate> calendarNextStart, QStringList families, QWidget *parent)
    : QWidget(parent)
    , m_calendarNextStart(calendarNextStart)
    , m_families(std::move(families))
{
    setProperty("helpPage", QStringLiteral("temperature.html")); // F1 on this tab (help.h)
    auto *chart = new ChartView(this);
    chart->families = m_families;
    chart->setFocusPolicy(Qt::StrongFocus);
    chart->setMinimumSize(480, 260);
    chart->setAccessibleName(QStringLiteral("基礎体温のグラフ"));
    m_chart = chart;
    m_previous = new QPushButton(QStringLiteral("← 前の周期"), this);
    m_next = new QPushButton(QStringLiteral("次の周期 →"), this);
    m_position = new QLabel(this);
    for (QPushButton *button : {m_previous, m_next}) {
        button->setAutoDefault(false);
    }
    auto *steps = new QHBoxLayout;
    steps->addWidget(m_previous);
    steps->addStretch();
    steps->addWidget(m_position);
    steps->addStretch();
    steps->addWidget(m_next);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(chart, 1);
    layout->addLayout(steps);
    connect(m_previous, &QPushButton::clicked, this, [this] { showCycle(m_index - 1); });
    connect(m_next, &QPushButton::clicked, this, [this] { showCycle(m_index + 1); });

    guarded(this, [&] {
        const TemperatureFileContent content = readTemperatureFile(tempPath);
        m_cycles = temperatureCycles(readFirstDaysAscending(datePath, UnreadableLine::Skip), content.readings,
                                     QDate::currentDate());
    });
    // Her body's signs add to the chart; a day file that cannot be read now leaves them out (the day
    // dialog reports it).
    try {
        m_bodies = fertileCycles(m_cycles, readDayFile(Variable::DayFilePath).records, QDate::currentDate());
    } catch (const AppError &) {
    }
    m_bodyNextStart = temperatureNextStart(m_cycles);
    for (qsizetype c = 0; c < m_cycles.size(); ++c) {
        if (!m_cycles[c].readings.isEmpty()) {
            m_withReadings.append(c);
        }
    }
    showCycle(m_withReadings.size() - 1);
}

void TemperaturePage::showCycle(qsizetype index)
{
    auto *chart = static_cast<ChartView *>(m_chart);
    m_index = std::clamp<qsizetype>(index, 0, std::max<qsizetype>(0, m_withReadings.size() - 1));
    m_previous->setEnabled(m_index > 0);
    m_next->setEnabled(m_index + 1 < m_withReadings.size());
    if (m_withReadings.isEmpty()) {
        chart->cycle = nullptr;
        m_position->clear();
        chart->setAccessibleDescription(QStringLiteral("体温の記録はまだありません"));
        chart->update();
        return;
    }
    const CycleTemperature &cycle = m_cycles[m_withReadings[m_index]];
    chart->cycle = &cycle;
    chart->figures = {};
    if (!cycle.closed) {
        chart->figures = {m_bodyNextStart, m_calendarNextStart, {}};
    }
    const qsizetype c = m_withReadings[m_index];
    if (c < m_bodies.size() && m_bodies[c].speaks) {
        chart->figures.body = m_bodies[c];
    }
    m_position->setText(QStringLiteral("%1 / %2").arg(m_index + 1).arg(m_withReadings.size()));
    chart->setAccessibleDescription(temperatureChartSummary(cycle, chart->figures));
    QAccessibleEvent changed(chart, QAccessible::DescriptionChanged);
    QAccessible::updateAccessibility(&changed);
    chart->update();
}

void TemperaturePage::keyPressEvent(QKeyEvent *event)
{
    if (event->modifiers() == Qt::NoModifier && (event->key() == Qt::Key_Left || event->key() == Qt::Key_Right)) {
        showCycle(m_index + (event->key() == Qt::Key_Left ? -1 : 1));
        event->accept();
        return;
    }
    QWidget::keyPressEvent(event);
}

void TemperaturePage::attachTo(QGridLayout *grid, const QList<QLayoutItem *> &cyclePage)
{
    auto *tabs = new QTabWidget(grid->parentWidget());
    tabs->setObjectName(QStringLiteral("historyTabs"));
    auto *first = new QWidget(tabs);
    auto *column = new QVBoxLayout(first);
    column->setContentsMargins(0, 0, 0, 0);
    int row = 0, col = 0, rowSpan = 1, colSpan = 1;
    grid->getItemPosition(grid->indexOf(cyclePage.first()), &row, &col, &rowSpan, &colSpan);
    for (QLayoutItem *item : cyclePage) {
        grid->takeAt(grid->indexOf(item));
        if (QWidget *widget = item->widget()) {
            column->addWidget(widget);
            delete item; // the grid's wrapper of the widget, not the widget
        } else if (QLayout *layout = item->layout()) {
            column->addLayout(layout);
        }
    }
    grid->addWidget(tabs, row, col, rowSpan, colSpan);
    tabs->addTab(first, QStringLiteral("周期 (&H)"));
    tabs->addTab(this, QStringLiteral("基礎体温 (&T)"));
}
