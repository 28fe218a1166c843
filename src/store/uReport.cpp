#include "store/uDM.h"

#include "app/uError.h"
#include "i18n/uLanguage.h"
#include "settings/uUtils.h"

#include <QFile>
#include <QFileInfo>
#include <QSqlError>
#include <QSqlRecord>

#include <cmath>

namespace {

// The report goes to others by e-mail: stored text must not become markup.
QString cell(const QString& text)
{
    return text.toHtmlEscaped();
}

class TReportFile
{
public:
    explicit TReportFile(const QString& name)
        : m_file(name)
    {
    }

    bool Open() { return m_file.open(QIODevice::WriteOnly | QIODevice::Truncate); }

    // One line with its CR LF; false when the bytes were not all taken.
    bool Line(const QString& text)
    {
        const QByteArray bytes = text.toUtf8() + "\r\n";
        return m_file.write(bytes) == bytes.size();
    }

    // A full disk or a lost share shows only when the buffer goes out: flush and close are checked as well.
    bool Close()
    {
        const bool flushed = m_file.flush();
        m_file.close();
        return flushed && m_file.error() == QFileDevice::NoError;
    }

    // A failed report is not left behind half written; only a regular file of ours is removed, never a device.
    void Discard()
    {
        if (m_file.isOpen())
            m_file.close();
        const QFileInfo info(m_file.fileName());
        if (info.isFile() && !info.isSymLink())
            QFile::remove(m_file.fileName());
    }

private:
    QFile m_file;
};

QString headerRow()
{
    const QStringList titles = HostColumnTitles();
    QStringList cells;
    for (const QString& title : titles)
        cells << cell(title);
    return QStringLiteral("<tr><th>") + cells.join(QStringLiteral("</th><th>")) + QStringLiteral("</th></tr>");
}

QString countText(const QVariant& value)
{
    if (value.isNull())
        return QString();
    bool ok = false;
    const qlonglong count = value.toLongLong(&ok);
    return ok ? QString::number(count) : value.toString();
}

QString dataRow(const QSqlRecord& row)
{
    enum TKind
    {
        Text,
        Date,
        Count,
        Rate
    };
    static const struct
    {
        const char* column;
        TKind kind;
    } right[] = {
        { "LastPingResponse", Text }, { "TotalPings24", Count },    { "SuccessPings24", Count },
        { "SuccessRate24", Rate },    { "TotalPingsWeek", Count },  { "SuccessPingsWeek", Count },
        { "SuccessRateWeek", Rate },  { "TotalPingsMonth", Count }, { "SuccessPingsMonth", Count },
        { "SuccessRateMonth", Rate },
    };
    const auto field = [&row](const char* column) {
        const int i = row.indexOf(QLatin1String(column));
        if (i < 0)
            throw EMonitorError(QStringLiteral("Hosts: field '%1' not found.").arg(QLatin1String(column)));
        return row.value(i);
    };

    QString line = QStringLiteral("<tr><td>") + cell(field("IP").toString()) + QStringLiteral("</td><td>")
        + cell(field("Alias").toString()) + QStringLiteral("</td><td>")
        + cell(TDetailsQuery::DateTimeFieldText(field("LastPingDate")));
    for (const auto& column : right) {
        const QVariant value = field(column.column);
        QString text;
        switch (column.kind) {
        case Count:
            text = countText(value);
            break;
        case Rate:
            text = TDetailsQuery::NumberFieldText(value);
            break;
        default:
            text = value.toString();
            break;
        }
        line += QStringLiteral("</td><td align=\"right\">") + cell(text);
    }
    return line + QStringLiteral("</td></tr>");
}

} // namespace

bool TfDM::GenerateReport(const QString& filename)
{
    TReportFile file(filename);
    if (filename.isEmpty() || !file.Open())
        return false;
    try {
        qryReport->Close();
        qryReport->SQL = QStringLiteral("SELECT * FROM Hosts");
        qryReport->Open();
        while (qryReport->canFetchMore())
            qryReport->fetchMore();

        const QString today = DateTimeText(std::trunc(Now()));
        const QStringList head = {
            QStringLiteral("<!DOCTYPE HTML PUBLIC \"-//W3C//DTD HTML 4.01 Transitional//EN\">"),
            QStringLiteral("<html><head>"),
            QStringLiteral("<meta http-equiv=\"Content-Type\" content=\"text/html; charset=utf-8\">"),
            QStringLiteral("<meta name=Generator content=\"Tarquel MONITOR\">"),
            QStringLiteral("<title>Tarquel MONITOR: ") + cell(today) + QStringLiteral("</title>"),
            QStringLiteral("<style type=\"text/css\"></style>"),
            QStringLiteral("</head>"),
            QStringLiteral("<body bgcolor=\"#FFFFFF\" text=\"#000000\">"),
            QStringLiteral("<table border=\"1\">"),
            headerRow(),
        };
        bool written = true;
        for (const QString& line : head)
            written = written && file.Line(line);
        for (int row = 0; written && row < qryReport->rowCount(); ++row)
            written = file.Line(dataRow(qryReport->record(row)));
        // The model hides a read error behind a short row count.
        if (qryReport->lastError().isValid())
            written = false;
        written = written && file.Line(QStringLiteral("</table>")) && file.Line(QStringLiteral("</body></html>"));
        qryReport->Close();
        if (written && file.Close())
            return true;
    } catch (const EMonitorError&) {
        qryReport->Close();
    }
    file.Discard();
    return false;
}
