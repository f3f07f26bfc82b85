#include "symptompage.h"

#include "cyclechart.h"

#include <QAccessible>
#include <QHelpEvent>
#include <QLabel>
#include <QPainter>
#include <QScrollArea>
#include <QToolTip>
#include <QVBoxLayout>
#include <QtMath>

namespace {

class ChartView final : public QWidget
{
public:
    ChartView(const SymptomChart &chart, QWidget *parent)
        : QWidget(parent)
        , m_chart(chart)
    {
    }

protected:
    void paintEvent(QPaintEvent *) override
    {
        QPainter painter(this);
        const double scale = useLogicalUnits(painter);
        m_chart.draw(painter, QRectF(0, 0, width() / scale, height() / scale));
    }

    bool event(QEvent *event) override
    {
        if (event->type() != QEvent::ToolTip) {
            return QWidget::event(event);
        }
        const auto *help = static_cast<QHelpEvent *>(event);
        const double scale = logicalDpiX() / LogicalUnitsPerInch;
        const QRectF area(0, 0, width() / scale, height() / scale);
        const auto [row, column] = m_chart.cellAt(area, QPointF(help->pos()) / scale);
        const QString text = m_chart.cellText(row, column);
        if (text.isEmpty()) {
            QToolTip::hideText();
            event->ignore();
        } else {
            QToolTip::showText(help->globalPos(), text, this);
        }
        return true;
    }

private:
    const SymptomChart &m_chart;
};

} // namespace

SymptomPage::SymptomPage(SymptomPattern pattern, QStringList families, QWidget *parent)
    : QWidget(parent)
    , m_families(std::move(families))
    , m_chart(SymptomPattern(), m_families)
{
    auto *area = new QScrollArea(this);
    area->setAccessibleName(QStringLiteral("症状のグラフ"));
    m_view = new ChartView(m_chart, area);
    m_view->setFocusPolicy(Qt::StrongFocus);
    m_view->setAccessibleName(QStringLiteral("症状のグラフ"));
    area->setWidget(m_view);
    m_summary = new QLabel(this);
    m_summary->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    m_summary->setAccessibleName(QStringLiteral("症状の傾向"));
    m_summary->setWordWrap(true);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(area, 1);
    layout->addWidget(m_summary);
    showPattern(std::move(pattern));
}

void SymptomPage::showPattern(SymptomPattern pattern)
{
    m_chart = SymptomChart(std::move(pattern), m_families);
    const double scale = m_view->logicalDpiX() / LogicalUnitsPerInch;
    m_view->setFixedSize(qCeil(m_chart.width() * scale), qCeil(m_chart.height() * scale));
    const QString summary = m_chart.rowSummaries().join(u'\n');
    m_view->setAccessibleDescription(summary);
    m_summary->setText(summary);
    QAccessibleEvent changed(m_view, QAccessible::DescriptionChanged);
    QAccessible::updateAccessibility(&changed);
    m_view->update();
}
