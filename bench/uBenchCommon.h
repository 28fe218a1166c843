#pragma once

#include <QString>
#include <QStringList>

#include <vector>

struct TBenchOptions
{
    QString cacheDir; // where filled databases are kept between runs
    bool refill = false; // build the databases again even when the cached ones fit
    int inserts = 200; // InsertDetails calls measured on the program's schema
    int originalInserts = 200; // ... and on the original one (about a second each)
    std::vector<int> cycleHosts{ 250, 500, 1000 }; // host counts of the ping-cycle runs
    bool cycleEmpty = true; // ping cycle on an empty database
    bool cycleFilled = true; // ... and on a copy of the 30-day database
    bool fping = true; // fping's wall time on the same hosts, when it is installed
    int cycleRepeat = 1; // runs of each size; the one of median wall time is shown
    bool cycleProfile = true; // one more run at the largest size that shows where the UI thread's time goes
};

// Latencies in milliseconds.
struct TLatency
{
    double median = 0;
    double p95 = 0;
    double max = 0;
    int count = 0;
};

TLatency Summarize(std::vector<double> samples);

// One line of the report; sections print through these so that the output reads as one table.
void PrintHeading(const QString& text);
void PrintLine(const QString& text);
QString Ms(double ms);
