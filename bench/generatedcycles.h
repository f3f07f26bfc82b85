#pragma once

// The temperature side of the generated women both accuracy benchmarks score on. Her own levels follow
// published figures: a luteal phase of 12.4 days on average with a spread of 1.9 days between women and
// of 0.5-1 day from one of her cycles to the next; a follicular phase (ovulation day) of about 15.5 days,
// 2.5 between women and 2 within. The temperature rises 0.2-0.5 °C after ovulation, at once or in steps
// spread over two or three days, its first morning missed in one cycle in four; each reading carries
// 0.05-0.15 °C of noise. A fever of 0.3-1.0 °C lasting one or two days comes about once in 50 days, and
// she marks only a third of them as left out.
//
// Every draw comes from the one generator in a fixed order, so a seed gives the same women each run; the
// benchmarks draw their own extras from the same generator between these calls.

#include "datetext.h"
#include "temperaturefile.h"

#include <QDate>
#include <QStringList>

#include <algorithm>
#include <cmath>
#include <random>
#include <utility>

class GeneratedTemperature final
{
public:
    struct Cycle
    {
        int luteal = 0;    // days after ovulation
        int ovulation = 0; // cycle day of ovulation, 1 the first day of the period
        double rise = 0;   // °C
        int riseSteps = 1; // the rise reached over 1, 2 or 3 days
        bool riseMissed = false;

        int length() const { return ovulation + luteal; }
        // The first morning of the rise, when she missed it.
        bool riseMissedOn(int cycleDay) const { return riseMissed && cycleDay == ovulation + 1; }
    };

    explicit GeneratedTemperature(std::mt19937 &random)
        : m_random(random)
    {
        m_lutealMean = 12.4 + 1.9 * normal();
        // A mean change of 0.9 x 1.128 to 1.8 x 1.128 days between consecutive cycles: 1 to 2 days.
        m_lutealSpread = 0.5 + 0.5 * uniform();
        m_follicularMean = 15.5 + 2.5 * normal();
        m_noise = 0.05 + 0.10 * uniform();
        m_base = 36.35 + 0.12 * normal();
    }

    double normal() { return m_normal(m_random); }
    double uniform() { return m_uniform(m_random); }
    std::mt19937 &random() { return m_random; }

    Cycle nextCycle()
    {
        Cycle cycle;
        cycle.luteal = std::clamp(int(std::lround(m_lutealMean + m_lutealSpread * normal())), 7, 18);
        cycle.ovulation = std::clamp(int(std::lround(m_follicularMean + 2.0 * normal())), 8, 30);
        cycle.rise = 0.2 + 0.3 * uniform();
        cycle.riseSteps = 1 + int(uniform() * 3);
        cycle.riseMissed = uniform() < 0.25;
        return cycle;
    }

    // Moves the fever on by one day, perhaps starting one; true while it lasts.
    bool feverish()
    {
        if (m_feverDaysLeft == 0 && uniform() < 0.02) {
            m_feverDaysLeft = 1 + int(uniform() * 2);
            m_fever = 0.3 + 0.7 * uniform();
            m_feverMarked = uniform() < 1.0 / 3;
        }
        if (m_feverDaysLeft == 0) {
            return false;
        }
        --m_feverDaysLeft;
        return true;
    }

    // The morning's reading on cycle day cycleDay (1 the first day of the period).
    TemperatureReading reading(const Cycle &cycle, const QDate &day, int cycleDay, bool feverish)
    {
        double value = m_base + m_noise * normal();
        const int sinceRise = cycleDay - cycle.ovulation; // 1 on the first day of the rise
        if (sinceRise > 0) {
            value += cycle.rise * std::min(sinceRise, cycle.riseSteps) / cycle.riseSteps;
        }
        if (feverish) {
            value += m_fever;
        }
        const int centi = std::clamp(int(std::lround(value * 100)), MinCentiDegrees, MaxCentiDegrees);
        return {day, centi, feverish && m_feverMarked};
    }

private:
    std::mt19937 &m_random;
    std::normal_distribution<double> m_normal{0, 1};
    std::uniform_real_distribution<double> m_uniform{0, 1};
    double m_lutealMean = 0;
    double m_lutealSpread = 0;
    double m_follicularMean = 0;
    double m_noise = 0; // °C
    double m_base = 0;  // °C before the rise
    int m_feverDaysLeft = 0;
    double m_fever = 0; // °C
    bool m_feverMarked = false;
};

// Calls score(c, lines) for each of her cycles with a past one to learn from: c its index in firstDays
// (ascending, the last entry closing the last cycle), lines date.dat as it stood on the cycle's first
// day, newest first, for the calendar rule.
template<typename Score> void forEachLearningCycle(const QList<QDate> &firstDays, Score score)
{
    QStringList lines;
    for (qsizetype c = 0; c + 1 < firstDays.size(); ++c) {
        lines.prepend(formatDateText(firstDays[c]));
        if (c > 0) {
            score(c, std::as_const(lines));
        }
    }
}
