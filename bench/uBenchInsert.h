#pragma once

#include "uBenchCommon.h"

// InsertDetails latency on two databases holding the same 100 hosts x 30 days of pings at 100 s: one created
// with the original schema, one with the schema the program creates.
void RunInsertDetailsBenchmark(const TBenchOptions& options);
