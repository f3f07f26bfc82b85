#pragma once

#include "exitstatus.h"

// eveluna --sync: one sync with her calendar server, one line on standard output (done, and the first
// days that came home) or on standard error (why not). Done; Failed when her records
// could not be read or written; Refused when not set up or a setting cannot work; ServerUnreachable when
// the server could not be reached or refused.
ExitStatus runSyncCommand();
