#include "uBenchCommon.h"

#include <QTextStream>

#include <algorithm>
#include <cmath>

TLatency Summarize(std::vector<double> samples)
{
    TLatency result;
    if (samples.empty())
        return result;
    std::sort(samples.begin(), samples.end());
    const size_t n = samples.size();
    result.count = int(n);
    result.median = n % 2 ? samples[n / 2] : (samples[n / 2 - 1] + samples[n / 2]) / 2;
    // Nearest rank: the smallest sample at or above 95 % of all.
    result.p95 = samples[size_t(std::ceil(0.95 * double(n))) - 1];
    result.max = samples.back();
    return result;
}

void PrintHeading(const QString& text)
{
    QTextStream out(stdout);
    out << Qt::endl << text << Qt::endl << QString(text.size(), QLatin1Char('-')) << Qt::endl;
}

void PrintLine(const QString& text)
{
    QTextStream out(stdout);
    out << text << Qt::endl;
}

QString Ms(double ms)
{
    return ms >= 100 ? QString::number(ms, 'f', 0) : QString::number(ms, 'f', 2);
}
