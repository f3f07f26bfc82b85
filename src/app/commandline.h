#pragma once

#include "exitstatus.h"

// The options of the command line, read before any window system connection: --help, --version,
// --status [--json] print to standard output and end, --remind runs the login entry's reminder,
// --import FILE [--dry-run] and --export FILE move records in and out (importcommand.h), --sync syncs
// with her calendar server (synccommand.h). Only --import, --export and --sync write files, and only an
// import that writes counts as a copy for the one-copy rule; all work without a display. An unknown
// option prints one line and a hint on standard error and ends with ExitStatus::Refused. Qt's own window
// options (-platform, -name, ...) still start the window.

enum class CommandLineAction {
    StartWindow, // no option of ours: the program as usual
    Remind,      // --remind: runReminder()
    Done,        // printed what was asked; end with status
};

struct CommandLineResult
{
    CommandLineAction action = CommandLineAction::StartWindow;
    ExitStatus status = ExitStatus::Done;
};

CommandLineResult runCommandLine(int argc, char *argv[]);
