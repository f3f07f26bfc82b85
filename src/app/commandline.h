#pragma once

// The options of the command line, read before any window system connection: --help, --version,
// --status [--json] print to standard output and end, --remind runs the login entry's reminder. None of
// them counts as a copy for the one-copy rule or writes a file, and all work without a display. An
// unknown option prints one line and a hint on standard error and ends with status 2. Qt's own window
// options (-platform, -name, ...) still start the window.

enum class CommandLineAction {
    StartWindow, // no option of ours: the program as usual
    Remind,      // --remind: runReminder()
    Done,        // printed what was asked; end with exitCode
};

struct CommandLineResult
{
    CommandLineAction action = CommandLineAction::StartWindow;
    int exitCode = 0;
};

CommandLineResult runCommandLine(int argc, char *argv[]);
