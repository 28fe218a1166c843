#pragma once

#include <QDateTime>
#include <QString>
#include <QStringList>

#include <functional>

// Days since 1899-12-30 00:00 local time; the fraction is the time of day, one second is 1/86400.
using TDateTime = double;

TDateTime DateTimeFromQt(const QDateTime& value);
QDateTime DateTimeToQt(TDateTime value);

// "Now" for everything that schedules: tests replace the clock instead of waiting for it.
TDateTime Now();
void SetNowFunction(std::function<QDateTime()> now);

// The first multiple of AInterval (days) strictly after ATime, counted from the zero point of the scale.
TDateTime GetNextSyncTime(TDateTime ATime, double AInterval);

// Regional short date and long time (without time zone); the time is left out at exactly midnight.
QString DateTimeText(TDateTime value);
QString DateTimeText(TDateTime value, const QLocale& locale);
// Reads back what DateTimeText wrote (date and time, or the date alone); false when the text is no date-time.
bool TextToDateTime(const QString& text, TDateTime* value);
bool TextToDateTime(const QString& text, const QLocale& locale, TDateTime* value);

// List entries of the text table are split at every comma and nowhere else.
QStringList SplitListEntry(const QString& entry);

// The interval catalogue: list items, the seconds each stands for, and the way back from stored seconds.
int PingIntervalItemCount();
int EmailIntervalItemCount();
int PingIntervalSecondsOf(int item);
int EmailIntervalSecondsOf(int item);
int PingIntervalItemOf(int seconds);
int EmailIntervalItemOf(int seconds);
// "1 " + txtMinutes and the like, in the current language.
QString PingIntervalPhrase(int seconds);
QString EmailIntervalPhrase(int seconds);
