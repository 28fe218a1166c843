#include "uBenchCycle.h"

// To be measured here, on the offscreen platform (QApplication in main, tmgui linked), for N = 250, 500, 1000
// distinct 127.x.y.z hosts, on an empty database and on the 30-day database of uBenchInsert:
// - wall time from the start of acPingHostsExecute to the end-of-cycle "Ready", UI-thread CPU time, peak
//   resident memory;
// - CPU cost per echo (thread creation, filter, pacing) and the wall time against the pacer's lower bound
//   (hosts x gap);
// - when fping is installed, its wall time for `fping -c1 -t1000 -i1` on the same hosts and the ratio
//   cycle/fping.
void RunPingCycleBenchmark(const TBenchOptions&)
{
    PrintHeading(QStringLiteral("Ping cycle"));
    PrintLine(QStringLiteral("  not measured yet"));
}
