#pragma once

#include "uBenchCommon.h"

#include <QApplication>

// One whole ping cycle of 250, 500 and 1000 loopback hosts through the main window's own cycle code.
void RunPingCycleBenchmark(const TBenchOptions& options);

// The benchmark's application: while a profiled cycle runs, it charges the UI thread's CPU time of every event
// it delivers to the event's kind (nested deliveries excluded), to show where a cycle's time goes.
class TBenchApplication : public QApplication
{
public:
    using QApplication::QApplication;
    bool notify(QObject* receiver, QEvent* event) override;
};
