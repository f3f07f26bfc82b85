#pragma once

#include "symptomchart.h"

#include <QWidget>

class QLabel;

// The 症状 page of the history window: the chart of her symptoms around a first day (symptomchart.h),
// the count of a cell on hover, and each row in words under it (also the chart's accessible
// description). Made from the history the window has read; it reads no file itself.
class SymptomPage final : public QWidget
{
    Q_OBJECT

public:
    SymptomPage(SymptomPattern pattern, QStringList families, QWidget *parent = nullptr);

    const SymptomChart &chart() const { return m_chart; }
    // A new pattern, after she left a cycle out or took it back in.
    void showPattern(SymptomPattern pattern);

private:
    QStringList m_families;
    SymptomChart m_chart;
    QWidget *m_view = nullptr;
    QLabel *m_summary = nullptr;
};
