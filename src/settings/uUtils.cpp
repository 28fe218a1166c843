#include "settings/uUtils.h"

#include "i18n/uLanguage.h"

#include <QLocale>
#include <QTimeZone>

#include <cmath>
#include <cstdint>

namespace {

const QDate zeroDate(1899, 12, 30);
constexpr qint64 msecsPerDay = 86400000;

std::function<QDateTime()> nowFunction;

struct TIntervalItem
{
    int seconds;
    int number; // the number shown in the summary phrase
    QString* unit;
};

const TIntervalItem pingItems[] = {
    { 60, 1, &txtMinutes },  { 600, 10, &txtMinutes }, { 3600, 1, &txtHours },
    { 21600, 6, &txtHours }, { 43200, 12, &txtHours }, { 86400, 1, &txtDay },
};
const TIntervalItem emailItems[] = {
    { 43200, 12, &txtHours },
    { 86400, 1, &txtDay },
    { 604800, 1, &txtWeek },
};

template <std::size_t N> int itemOf(const TIntervalItem (&items)[N], int seconds)
{
    // Only item 1 and later are matched; anything else shows as the first item.
    for (std::size_t i = 1; i < N; ++i) {
        if (items[i].seconds == seconds)
            return int(i);
    }
    return 0;
}

template <std::size_t N> int secondsOf(const TIntervalItem (&items)[N], int item)
{
    return item >= 0 && std::size_t(item) < N ? items[item].seconds : items[0].seconds;
}

template <std::size_t N> QString phraseOf(const TIntervalItem (&items)[N], int seconds)
{
    const TIntervalItem& item = items[itemOf(items, seconds)];
    return QString::number(item.number) + QLatin1Char(' ') + *item.unit;
}

// Qt's long time formats carry a time-zone field ("t"); the date-time text has none.
QString withoutTimeZone(const QString& format)
{
    QString out;
    bool quoted = false;
    for (QChar c : format) {
        if (c == QLatin1Char('\''))
            quoted = !quoted;
        if (!quoted && c == QLatin1Char('t'))
            continue;
        out += c;
    }
    return out.simplified();
}

QString shortDateFormat(const QLocale& locale)
{
    return locale.dateFormat(QLocale::ShortFormat);
}
QString longTimeFormat(const QLocale& locale)
{
    return withoutTimeZone(locale.timeFormat(QLocale::LongFormat));
}

// Two-digit years read back into the century window around today, not into the 1900s.
QDate intoCenturyWindow(QDate date, const QString& format)
{
    if (format.contains(QLatin1String("yyyy")) || !format.contains(QLatin1String("yy")))
        return date;
    const int thisYear = QDate::currentDate().year();
    int year = date.year() % 100 + thisYear / 100 * 100;
    if (year > thisYear + 50)
        year -= 100;
    else if (year <= thisYear - 50)
        year += 100;
    return QDate(year, date.month(), date.day());
}

} // namespace

TDateTime DateTimeFromQt(const QDateTime& value)
{
    const QDateTime local = value.toLocalTime();
    return double(zeroDate.daysTo(local.date())) + double(local.time().msecsSinceStartOfDay()) / msecsPerDay;
}

QDateTime DateTimeToQt(TDateTime value)
{
    // The integer part is the date; the time of day is the fraction, also for dates before the zero point.
    double days = std::trunc(value);
    qint64 msecs = std::llround(std::fabs(value - days) * msecsPerDay);
    if (msecs >= msecsPerDay) {
        msecs -= msecsPerDay;
        days += value < 0 ? -1 : 1;
    }
    return QDateTime(zeroDate.addDays(qint64(days)), QTime::fromMSecsSinceStartOfDay(int(msecs)));
}

TDateTime Now()
{
    return DateTimeFromQt(nowFunction ? nowFunction() : QDateTime::currentDateTime());
}

void SetNowFunction(std::function<QDateTime()> now)
{
    nowFunction = std::move(now);
}

TDateTime GetNextSyncTime(TDateTime ATime, double AInterval)
{
    // llrint rounds an exact half to the even neighbour in the default rounding mode.
    const std::int64_t s = std::llrint(ATime * 86400.0);
    const std::int64_t i = std::llrint(AInterval * 86400.0);
    if (i == 0)
        return double(s) / 86400.0;
    const std::int64_t n = s / i + 1;
    double result = double(n * i) / 86400.0 + 1e-7;
    if (AInterval == 7.0)
        result += 1.0; // weekly reports go out on Sunday, not on the Saturday the scale starts on
    return result;
}

QString DateTimeText(TDateTime value)
{
    return DateTimeText(value, QLocale::system());
}

QString DateTimeText(TDateTime value, const QLocale& locale)
{
    const QDateTime dt = DateTimeToQt(value);
    const QString date = locale.toString(dt.date(), shortDateFormat(locale));
    if (value - std::trunc(value) == 0.0)
        return date;
    return date + QLatin1Char(' ') + locale.toString(dt.time(), longTimeFormat(locale));
}

bool TextToDateTime(const QString& text, TDateTime* value)
{
    return TextToDateTime(text, QLocale::system(), value);
}

bool TextToDateTime(const QString& text, const QLocale& locale, TDateTime* value)
{
    const QString dateFormat = shortDateFormat(locale);
    const QString trimmed = text.trimmed();
    QDateTime dt = locale.toDateTime(trimmed, dateFormat + QLatin1Char(' ') + longTimeFormat(locale));
    if (!dt.isValid()) {
        const QDate date = locale.toDate(trimmed, dateFormat);
        if (!date.isValid())
            return false;
        dt = QDateTime(date, QTime(0, 0));
    }
    dt.setDate(intoCenturyWindow(dt.date(), dateFormat));
    *value = double(zeroDate.daysTo(dt.date())) + double(dt.time().msecsSinceStartOfDay()) / msecsPerDay;
    return true;
}

QStringList SplitListEntry(const QString& entry)
{
    return entry.split(QLatin1Char(','));
}

int PingIntervalItemCount()
{
    return int(std::size(pingItems));
}
int EmailIntervalItemCount()
{
    return int(std::size(emailItems));
}
int PingIntervalSecondsOf(int item)
{
    return secondsOf(pingItems, item);
}
int EmailIntervalSecondsOf(int item)
{
    return secondsOf(emailItems, item);
}
int PingIntervalItemOf(int seconds)
{
    return itemOf(pingItems, seconds);
}
int EmailIntervalItemOf(int seconds)
{
    return itemOf(emailItems, seconds);
}
QString PingIntervalPhrase(int seconds)
{
    return phraseOf(pingItems, seconds);
}
QString EmailIntervalPhrase(int seconds)
{
    return phraseOf(emailItems, seconds);
}
