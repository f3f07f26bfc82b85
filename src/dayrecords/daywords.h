#pragma once

#include "dayrecordfile.h"

#include <QString>

// A day record's words as she reads them, in the day dialog, the calendar, the history and the notices.

// Flow in words: "少量", "少ない", "普通", "多い".
QString flowText(Flow flow);

// The words of the bleeding choices: "少量 (おりもの程度)", "少ない", "普通", "多い".
QString flowCaption(Flow flow);

// A symptom token in the day dialog's words ("headache" → "頭痛"); the token itself when unknown.
QString symptomCaption(const QString &token);
