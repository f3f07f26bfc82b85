#pragma once

#include <QDate>
#include <QString>

#include <optional>

// A date typed whole into a date field, keystroke by keystroke: "yyyy/mm/dd", "yyyy/m/d" (also with "-"
// or "." between the parts) or eight digits "yyyymmdd". Full-width digits and "／" count as their
// ASCII forms, as an input method may give them.

// The typed text as the normal form: ASCII digits, "/" for every separator.
QString normalizedDateTyping(const QString &typed);

// The date once the text is a whole date of one of the forms above and a real calendar day.
std::optional<QDate> wholeTypedDate(const QString &typed);

// Whether more keystrokes could still make the text a whole date (the empty text can).
bool mayBecomeTypedDate(const QString &typed);
