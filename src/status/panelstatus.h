#pragma once

#include "statusreport.h"

#include <QJsonObject>
#include <QString>

// The status for a panel: a few characters to show, a tooltip and a CSS class ("--status --short",
// "--status --waybar"). With discreet the shown texts name no period.

enum class PanelClass { Period, Late, Fertile, Pms, Normal };

// "period", "late", "fertile", "pms", "normal": waybar's class, for her style sheet.
QString panelClassName(PanelClass panelClass);

// Late before period before PMS before fertile; normal otherwise and without records. Fertile: the fertile
// phase her body's signs give (the report's fertility phase), or without any the days the grid colours as
// likely for conception.
PanelClass panelClass(const StatusReport &report);

// "あと5日", "今日", "生理3日目", "2日遅れ", "データなし"; discreet: "あと5日", "今日" or "予定".
QString shortStatus(const StatusReport &report, bool discreet);

// {"text": shortStatus, "tooltip": statusLine (discreet: "Easy VELUNA: " and the short text), "class"}.
QJsonObject waybarJson(const StatusReport &report, bool discreet);
