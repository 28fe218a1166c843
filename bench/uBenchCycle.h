#pragma once

#include "uBenchCommon.h"

// One whole ping cycle of 250, 500 and 1000 loopback hosts through the main window's own cycle code.
void RunPingCycleBenchmark(const TBenchOptions& options);
