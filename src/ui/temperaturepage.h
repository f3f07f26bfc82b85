#pragma once

#include "fertilephase.h"
#include "temperatureshift.h"

#include <QDate>
#include <QLayoutItem>
#include <QList>
#include <QStringList>
#include <QWidget>

#include <optional>

class QGridLayout;
class QLabel;
class QPushButton;

// The 基礎体温 page of the history window: the chart of one cycle with readings at a time, the newest when
// it opens; ← and → (or the two buttons) step to the cycle before and after. It reads date.dat and
// dateTemp.dat once, when it is made, and never writes.
class TemperaturePage final : public QWidget
{
    Q_OBJECT

public:
    // calendarNextStart: the calendar rule's next first day, shown beside the body's for the current cycle.
    TemperaturePage(const QString &datePath, const QString &tempPath, std::optional<QDate> calendarNextStart,
                    QStringList families, QWidget *parent = nullptr);

    // Every registered cycle, oldest first (also those without readings), for the report.
    const QList<CycleTemperature> &cycles() const { return m_cycles; }
    // Her body's signs of every cycle (mucus, tests, the fertile phase), in the order of cycles().
    const QList<FertilityResult> &bodies() const { return m_bodies; }
    // Shows the cycle at position `index` of those with readings (0 the oldest); clamped.
    void showCycle(qsizetype index);
    qsizetype shownIndex() const { return m_index; }
    // The next first day from the current cycle's confirmed temperature rise, if any.
    std::optional<QDate> bodyNextStart() const { return m_bodyNextStart; }

    // Puts the widgets and layouts of the history window's first chart cell into a page "周期" of a new tab widget in
    // that cell, and this page beside it as "基礎体温".
    void attachTo(QGridLayout *grid, const QList<QLayoutItem *> &cyclePage);

protected:
    void keyPressEvent(QKeyEvent *event) override;

private:
    QList<CycleTemperature> m_cycles;
    QList<FertilityResult> m_bodies;
    QList<qsizetype> m_withReadings; // positions in m_cycles
    qsizetype m_index = -1;
    std::optional<QDate> m_bodyNextStart;
    std::optional<QDate> m_calendarNextStart;
    QStringList m_families;
    QWidget *m_chart = nullptr;
    QLabel *m_position = nullptr;
    QPushButton *m_previous = nullptr;
    QPushButton *m_next = nullptr;
};
