#include "periodfile.h"

#include "datetext.h"
#include "errors.h"
#include "linefile.h"

AddResult AddPeriodStart(const QString &datePath, const QDate &day)
{
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
                        const std::function<bool(const QString &line, const QString &shownText)> &sameEntry)
{
    LineFile file = LineFile::readIfExists(path);
    QStringList &lines = file.lines();
    const QList<CheckedEntry> before = shown;
    for (qsizetype p = shown.size() - 1; p >= 0; --p) {
        if (!shown[p].checked) {
            continue;
        }
        if (p >= lines.size()) {
            throw EListError::indexOutOfRange(p);
        }
        if (sameEntry(lines[p], shown[p].text)) {
            lines.removeAt(p);
            shown.removeAt(p);
        }
    }
    try {
        file.saveToFile(path);
    } catch (...) {
        shown = before;
        throw;
    }
}
