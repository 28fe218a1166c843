#pragma once

#include "settings/uUtils.h"

#include <QHash>
#include <QObject>
#include <QSqlDatabase>
#include <QSqlQueryModel>
#include <QSqlRecord>
#include <QSqlTableModel>
#include <QStringList>
#include <QVariant>

enum class TDataSetState
{
    Inactive,
    Browse,
    Edit,
    Insert
};

// The host grid's query ("SELECT * FROM Hosts"): the operator adds hosts, changes aliases and deletes hosts;
// every figure column is written by the trigger alone.
class THostsQuery : public QSqlTableModel
{
    Q_OBJECT

public:
    THostsQuery(QObject* parent, const QSqlDatabase& db);

    // Raises EMonitorError with the database's message.
    void Open();

    TDataSetState State() const { return m_state; }
    // The row being edited or inserted, -1 in browse state.
    int EditRow() const { return m_editRow; }
    int RowOfIP(const QString& ip) const;
    int FieldIndex(const QString& name) const;

    // Navigator operations; errors are shown to the operator, never thrown.
    int Insert(); // appends a new row and returns it
    bool Edit(int row);
    bool Post();
    void Cancel();
    bool Delete(int row);
    bool Refresh();
    // Re-reads one host's row in place (after a stored ping); waits while a row is being edited.
    bool RefreshHost(const QString& ip);

    bool IPReadOnly = true;

    // Reads every row: each host's row is refreshed in place after its pings.
    bool select() override;

    Qt::ItemFlags flags(const QModelIndex& index) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role = Qt::EditRole) override;

signals:
    void BeforeInsert();
    void BeforeEdit();
    // After every post, cancel, delete and refresh.
    void AfterRefresh();
    void StateChange();

protected:
    bool insertRowIntoTable(const QSqlRecord& values) override;

private:
    void setState(TDataSetState state, int row);

    TDataSetState m_state = TDataSetState::Inactive;
    int m_editRow = -1;
    mutable QHash<QString, int> m_rowsOfIP;
    mutable bool m_rowsOfIPValid = false;
};

// The one settings row, kept in memory as the query's current row; read by column name at the moment of use.
class TSettingsQuery : public QObject
{
    Q_OBJECT

public:
    TSettingsQuery(QObject* parent, const QSqlDatabase& db);

    QString SQL = QStringLiteral("SELECT * FROM Settings");

    void Open();
    bool Active() const { return m_state != TDataSetState::Inactive; }
    TDataSetState State() const { return m_state; }

    // Readers raise EMonitorError when the row is not open or has no such column.
    QVariant FieldByName(const QString& name) const;
    int AsInteger(const QString& name) const;
    bool AsBoolean(const QString& name) const;
    QString AsString(const QString& name) const;
    bool IsNull(const QString& name) const;
    QStringList FieldNames() const;

    void Edit();
    // Puts the row into edit state when needed.
    void SetField(const QString& name, const QVariant& value);
    // Writes the row; on failure raises EMonitorError and the row stays in edit with the operator's values.
    void Post();
    void Cancel();

signals:
    void BeforeEdit();
    void BeforePost();
    void StateChange();

private:
    void setState(TDataSetState state);
    int indexOf(const QString& name) const;

    QSqlDatabase m_db;
    TDataSetState m_state = TDataSetState::Inactive;
    QSqlRecord m_row; // the values as the program sees them, edits included
    QSqlRecord m_stored; // the values as last read from the file
    qint64 m_rowId = 0;
};

// A read-only query with a statement text, for the details window and the report.
class TDetailsQuery : public QSqlQueryModel
{
    Q_OBJECT

public:
    TDetailsQuery(QObject* parent, const QSqlDatabase& db);

    QString SQL;
    bool Active() const { return m_active; }
    // Raise EMonitorError with the database's message.
    void Open();
    void Close();
    void ExecSQL();

    // Cell texts shared by the details grid and the report. A stored local time ("yyyy-mm-dd hh:nn:ss.zzz") as
    // the regional date-time text; a text that is no such time is given back unchanged, no value as "".
    static QString DateTimeFieldText(const QVariant& stored);
    // A number in decimal notation with the regional separator: at most 15 significant digits, no exponent,
    // no thousands separator and no trailing zeros; a text that is no number is given back unchanged.
    static QString NumberFieldText(const QVariant& stored);

signals:
    void StateChange();

private:
    QSqlDatabase m_db;
    bool m_active = false;
};

class TfDM : public QObject
{
    Q_OBJECT

public:
    explicit TfDM(QObject* parent = nullptr);
    ~TfDM() override;

    // The opening step: runs once, from the constructor. An error is shown and ends it where it stands.
    void FormCreate();
    // True when the opening step ran to its end.
    bool Opened() const { return m_opened; }

    QSqlDatabase SQLConnection;
    THostsQuery* qryHosts = nullptr;
    TSettingsQuery* qrySettings = nullptr;
    TDetailsQuery* qryDetails = nullptr;
    TDetailsQuery* qryReport = nullptr;

    TDateTime NextRunAt = 0;
    TDateTime NextEmailAt = 0;
    bool dsSettingsEdit = false;
    bool dsSettingsInsert = false;
    QStringList HostsList;

    void InsertDetails(const QString& Host, double PingSize, double PingTimeout, double PingTTL, const QString& PingId,
                       const QString& PingThreadNum, const QString& ReplyIPAddr, int ReplyStatus, double ReplyRTT,
                       double ReplyDataSize, int ReplyTotal, int ErrCode, const QString& ErrMsg);
    bool LoadHostsArr();

    // The HTML report of every host; false, with nothing shown, on any failure.
    bool GenerateReport(const QString& filename);

    // Raises EMonitorError when the opening step did not reach the settings row.
    TSettingsQuery& Settings() const;

public slots:
    void qryHostsBeforeInsert();
    void qryHostsBeforeEdit();
    void qryHostsAfterRefresh();
    void qryDetailsBeforeInsert();
    void dsSettingsStateChange();
    void qrySettingsBeforeEdit();
    void qrySettingsBeforePost();

private:
    void openConnection();
    void createSchema();

    QString m_connectionName;
    bool m_opened = false;
};

extern TfDM* fDM;

// The titles of the columns of Hosts, in table order, in the current language (grid and report).
QStringList HostColumnTitles();

// The database file, in the current directory.
inline constexpr const char* DatabaseFileName = "TarquelMONITOR.db";
