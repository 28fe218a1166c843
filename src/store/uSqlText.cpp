#include "store/uSqlText.h"

#include "app/uError.h"

#include <QSqlQuery>
#include <QStringList>

QString QuotedStr(const QString& value)
{
    QString quoted = value;
    quoted.replace(QLatin1Char('\''), QLatin1String("''"));
    return QLatin1Char('\'') + quoted + QLatin1Char('\'');
}

QString SqlErrorText(const QSqlError& error)
{
    const QString text = error.databaseText().trimmed();
    return text.isEmpty() ? error.text().trimmed() : text;
}

QString DatabaseNotOpenText()
{
    return QStringLiteral("The database is not open.");
}

void ExecSQL(const QSqlDatabase& db, const QString& sql)
{
    if (!db.isOpen())
        throw EMonitorError(DatabaseNotOpenText());
    QSqlQuery query(db);
    if (!query.exec(sql))
        throw EMonitorError(SqlErrorText(query.lastError()));
}

bool IsDottedIPv4(const QString& text)
{
    const QStringList parts = text.split(QLatin1Char('.'));
    if (parts.size() != 4)
        return false;
    for (const QString& part : parts) {
        if (part.isEmpty() || part.size() > 3 || (part.size() > 1 && part.front() == QLatin1Char('0')))
            return false;
        for (QChar c : part) {
            if (c < QLatin1Char('0') || c > QLatin1Char('9'))
                return false;
        }
        if (part.toInt() > 255)
            return false;
    }
    return true;
}
