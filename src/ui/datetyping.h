#pragma once

class QDateEdit;

// Lets a date field take a whole date typed in any of its sections ("2025/12/20", "2025/1/5",
// "20251220"): the keystrokes are collected as they go to the field, and the keystroke that completes a
// whole date sets that date. Digits typed into one section still edit that section as before.
void acceptWholeTypedDates(QDateEdit *edit);
