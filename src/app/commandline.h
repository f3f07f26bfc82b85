#pragma once

#include "dailytimer.h"
#include "exitstatus.h"

// The options of the command line, read before any window system connection: --help, --version,
// --status [--json|--waybar|--short] print to standard output and end, --remind runs the login entry's
// reminder, --remind-at the reminders at a time of day, --record-start [yyyy-mm-dd] registers a first day,
// --import FILE [--dry-run] and --export FILE move records in and out (importcommand.h), --sync syncs
// with her calendar server (synccommand.h). Only --import, --export, --sync and --record-start write
// files, and only an import that writes counts as a copy for the one-copy rule; all work without a
// display. An unknown option prints one line and a hint on standard error and ends with
// ExitStatus::Refused. Qt's own window
// options (-platform, -name, ...) still start the window.

enum class CommandLineAction {
    StartWindow, // no option of ours: the program as usual
    Remind,      // --remind: runReminder()
    RemindAt,    // --remind-at temperature|pill [--again]: runDailyReminder()
    Done,        // printed what was asked; end with status
};

struct CommandLineResult
{
    CommandLineAction action = CommandLineAction::StartWindow;
    ExitStatus status = ExitStatus::Done;
    DailyReminder reminder = DailyReminder::Temperature; // RemindAt
    bool again = false;                                  // RemindAt: the run "あとで" scheduled
};

CommandLineResult runCommandLine(int argc, char *argv[]);
