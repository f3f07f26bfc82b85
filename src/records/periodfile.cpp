#include "periodfile.h"

#include "datetext.h"
#include "errors.h"
#include "linefile.h"

#include <algorithm>

AddResult AddPeriodStart(const QString &datePath, const QDate &day)
{
    const auto lock = LineFile::lockForUpdate(datePath);
    LineFile file = LineFile::readIfExists(datePath);
    const QString text = formatDateText(day);
    // Texts, not dates, are compared: a hand-written 2011/3/5 does not stop 2011/03/05.
    if (file.lines().contains(text, Qt::CaseSensitive)) {
        return AddResult::AlreadyRegistered;
    }
    file.lines().append(text);
    sortLinesDescending(file.lines());
    file.saveToFile(datePath);
    return AddResult::Added;
}

void DeletePeriodStarts(const QString &datePath, QList<CheckedEntry> &shown)
{
    deleteCheckedLines(datePath, shown, [](const QString &line, const QString &text) { return line == text; });
}

void deleteCheckedLines(const QString &path, QList<CheckedEntry> &shown,
                        const std::function<bool(const QString &line, const QString &shownText)> &sameEntry,
                        const std::function<bool(const QString &line)> &isListed)
{
    const auto lock = LineFile::lockForUpdate(path);
    LineFile file = LineFile::readIfExists(path);
    QStringList &lines = file.lines();
    const QList<CheckedEntry> before = shown;

    // Position p of the list is the p-th listed line of the file.
    QList<qsizetype> lineOf;
    lineOf.reserve(lines.size());
    for (qsizetype i = 0; i < lines.size(); ++i) {
        if (!isListed || isListed(lines[i])) {
            lineOf.append(i);
        }
    }

    // Marked first and removed in one pass afterwards: removing one by one would cost time growing with
    // the square of the list when many entries are checked. A removal at p never moves the positions
    // still to be visited (all below p), so this is the same as removing while going down.
    QList<bool> dropLine(lines.size(), false);
    QList<bool> dropShown(shown.size(), false);
    const auto compact = [](auto &list, const QList<bool> &drop) {
        qsizetype kept = 0;
        for (qsizetype i = 0; i < list.size(); ++i) {
            if (!drop[i]) {
                if (kept != i) {
                    list[kept] = std::move(list[i]);
                }
                ++kept;
            }
        }
        list.resize(kept);
    };
    for (qsizetype p = shown.size() - 1; p >= 0; --p) {
        if (!shown[p].checked) {
            continue;
        }
        if (p >= lineOf.size()) {
            compact(shown, dropShown);
            throw EListError::indexOutOfRange(p);
        }
        if (sameEntry(lines[lineOf[p]], shown[p].text)) {
            dropLine[lineOf[p]] = true;
            dropShown[p] = true;
        }
    }
    compact(lines, dropLine);
    compact(shown, dropShown);
    try {
        file.saveToFile(path);
    } catch (...) {
        shown = before;
        throw;
    }
}

QList<QDate> readFirstDaysAscending(const QString &datePath, UnreadableLine unreadable)
{
    const LineFile dates = LineFile::readIfExists(datePath);
    QList<QDate> days;
    days.reserve(dates.lines().size());
    for (const QString &line : dates.lines()) {
        if (unreadable == UnreadableLine::Throw) {
            days.append(parseDateText(line));
            continue;
        }
        try {
            days.append(parseDateText(line));
        } catch (const EConvertError &) {
        }
    }
    std::sort(days.begin(), days.end());
    days.erase(std::unique(days.begin(), days.end()), days.end());
    return days;
}
