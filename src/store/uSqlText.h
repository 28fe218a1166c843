#pragma once

#include <QSqlDatabase>
#include <QSqlError>
#include <QString>

// Every value enters SQL as a single-quoted literal with its quotes doubled: this is the one place that does it.
QString QuotedStr(const QString& value);

// The engine's own message where there is one, else the driver's.
QString SqlErrorText(const QSqlError& error);

// What every operation says when the opening step did not reach what it needs.
QString DatabaseNotOpenText();

// Runs one statement; raises EMonitorError with the database's message on failure.
void ExecSQL(const QSqlDatabase& db, const QString& sql);

// Four decimal numbers 0-255 separated by points, without leading zeros (what inet_pton accepts).
bool IsDottedIPv4(const QString& text);
