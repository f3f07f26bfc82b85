#pragma once

// What the program's exit status says to a script or a panel, the same for every option.
enum class ExitStatus : int {
    // Did what was asked (also: an import that found nothing new, a --dry-run).
    Done = 0,
    // Her records could not be read or written, the export could not be written, or the data folder
    // may not be used; the line on standard error says which.
    Failed = 1,
    // The command line or its file was refused before anything was written: an unknown option or one
    // used wrongly, a file to import that cannot be read, an export onto a link or onto a data file,
    // --sync without its calendar settings or with one that cannot work.
    Refused = 2,
    // An import that would write while another copy of the program (its window or another import) runs.
    CopyRunning = 3,
    // The calendar server could not be reached or refused the request (--sync).
    ServerUnreachable = 4,
};

constexpr int exitCode(ExitStatus status)
{
    return static_cast<int>(status);
}
