#pragma once

#include "fertilephase.h"

#include <QDate>
#include <QLabel>
#include <QString>
#include <QWidget>

#include <array>

// Her body's signs on the month grid, drawn over the cells so the calendar rule's colours stay as they
// are: a frame inside the cell for the fertile days so far, a top left corner added from a positive
// ovulation test to two days after it, and a bottom right corner for 排卵後. The colours are dark on every category
// colour and do not follow the desktop's theme, as the cells below them do not either.
enum class BodyMark { None, Fertile, MostFertile, Post };

// The mark of a day of the current cycle, as of today. Fertile days are marked up to today; 排卵後 from
// the day after the fertile phase ended up to the day before nextFirstDay.
BodyMark bodyMarkOf(const FertilityResult &cycle, const QDate &day, const QDate &today, const QDate &nextFirstDay);

// "からだのサイン: 妊娠しやすい時期" and the others, for a cell's tooltip and accessible name; empty for None.
QString bodyMarkDescription(BodyMark mark);
QString bodyFertileCaption(); // "からだのサイン: 妊娠しやすい時期"
QString bodyPostCaption();    // "からだのサイン: 排卵後"

// The signs in words, "おりもの、排卵検査薬、基礎体温", for the legend's tooltips.
QString signNames(const QStringList &signs);

// Draws a mark into a cell's rectangle (logical pixels).
void drawBodyMark(QPainter &painter, const QRect &cell, BodyMark mark);

// The layer over the 37 cells; hidden while no cell is marked, so a month without marks costs nothing.
class BodyMarkLayer final : public QWidget
{
    Q_OBJECT

public:
    static constexpr int CellCount = 37;

    BodyMarkLayer(const std::array<QLabel *, CellCount> &cells, QWidget *parent);
    void setMarks(const std::array<BodyMark, CellCount> &marks);
    BodyMark mark(int cell) const { return m_marks[std::size_t(cell)]; }

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    std::array<QLabel *, CellCount> m_cells;
    std::array<BodyMark, CellCount> m_marks{};
};

// A legend entry: the mark on a blank sample beside its caption.
class BodyLegendEntry final : public QLabel
{
    Q_OBJECT

public:
    BodyLegendEntry(BodyMark mark, const QString &caption, QWidget *parent);

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    BodyMark m_mark;
};
