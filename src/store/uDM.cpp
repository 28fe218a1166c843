#include "store/uDM.h"

#include "app/uError.h"
#include "app/uNotify.h"
#include "i18n/uLanguage.h"
#include "store/uSchema.h"
#include "store/uSqlText.h"

#include <QDateTime>
#include <QFileInfo>
#include <QLocale>
#include <QSqlDriver>
#include <QSqlField>
#include <QSqlQuery>

#include <algorithm>
#include <cmath>

#include <fcntl.h>
#include <sqlite3.h>
#include <unistd.h>

TfDM* fDM = nullptr;

namespace {

// Local time to the millisecond; the only source of Details.PingDatetime.
void getDate(sqlite3_context* context, int, sqlite3_value**)
{
    const QByteArray now = QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss.zzz")).toLatin1();
    sqlite3_result_text(context, now.constData(), int(now.size()), SQLITE_TRANSIENT);
}

sqlite3* sqliteHandle(const QSqlDatabase& db)
{
    const QVariant handle = db.driver()->handle();
    if (!handle.isValid() || qstrcmp(handle.typeName(), "sqlite3*") != 0)
        return nullptr;
    return *static_cast<sqlite3* const*>(handle.constData());
}

bool boolFromVariant(const QVariant& value)
{
    if (value.isNull())
        return false;
    const QString text = value.toString().trimmed();
    if (text.compare(QLatin1String("true"), Qt::CaseInsensitive) == 0)
        return true;
    if (text.compare(QLatin1String("false"), Qt::CaseInsensitive) == 0)
        return false;
    return value.toLongLong() != 0;
}

QString literalOf(const QVariant& value)
{
    if (value.isNull())
        return QStringLiteral("NULL");
    if (value.typeId() == QMetaType::Bool)
        return QuotedStr(value.toBool() ? QStringLiteral("1") : QStringLiteral("0"));
    return QuotedStr(value.toString());
}

} // namespace

// ---------------------------------------------------------------------------------------------------------------
// THostsQuery

THostsQuery::THostsQuery(QObject* parent, const QSqlDatabase& db)
    : QSqlTableModel(parent, db)
{
    setEditStrategy(QSqlTableModel::OnManualSubmit);
    const auto rowsMoved = [this] { m_rowsOfIPValid = false; };
    connect(this, &QAbstractItemModel::modelReset, this, rowsMoved);
    connect(this, &QAbstractItemModel::rowsInserted, this, rowsMoved);
    connect(this, &QAbstractItemModel::rowsRemoved, this, rowsMoved);
}

void THostsQuery::Open()
{
    setTable(QStringLiteral("Hosts"));
    if (!select())
        throw EMonitorError(SqlErrorText(lastError()));
    IPReadOnly = true;
    setState(TDataSetState::Browse, -1);
}

int THostsQuery::FieldIndex(const QString& name) const
{
    return record().indexOf(name);
}

int THostsQuery::RowOfIP(const QString& ip) const
{
    // Looked up after every stored ping: a scan of the grid's rows per result would grow with the host list.
    if (!m_rowsOfIPValid) {
        m_rowsOfIP.clear();
        const int column = FieldIndex(QStringLiteral("IP"));
        const int rows = rowCount();
        for (int row = 0; column >= 0 && row < rows; ++row)
            m_rowsOfIP.insert(data(index(row, column), Qt::EditRole).toString(), row);
        m_rowsOfIPValid = true;
    }
    return m_rowsOfIP.value(ip, -1);
}

bool THostsQuery::select()
{
    if (!QSqlTableModel::select())
        return false;
    // Every host is refreshed in place by its row; a row not fetched yet would never show its figures.
    while (canFetchMore())
        fetchMore();
    m_rowsOfIPValid = false;
    return true;
}

void THostsQuery::setState(TDataSetState state, int row)
{
    const bool changed = state != m_state;
    m_state = state;
    m_editRow = row;
    if (changed)
        emit StateChange();
}

int THostsQuery::Insert()
{
    if (m_state == TDataSetState::Inactive) {
        Notify::ShowError(DatabaseNotOpenText());
        return -1;
    }
    if (m_state != TDataSetState::Browse && !Post())
        return -1;
    emit BeforeInsert();
    const int row = rowCount();
    if (!insertRow(row))
        return -1;
    setState(TDataSetState::Insert, row);
    return row;
}

bool THostsQuery::Edit(int row)
{
    if (m_state == TDataSetState::Inactive) {
        Notify::ShowError(DatabaseNotOpenText());
        return false;
    }
    if (m_state != TDataSetState::Browse)
        return row == m_editRow;
    if (row < 0 || row >= rowCount())
        return false;
    emit BeforeEdit();
    setState(TDataSetState::Edit, row);
    return true;
}

bool THostsQuery::Post()
{
    if (m_state == TDataSetState::Inactive || m_state == TDataSetState::Browse)
        return m_state == TDataSetState::Browse;
    // A host that is no dotted address could never be pinged: keep the row for correction.
    const QString ip = data(index(m_editRow, FieldIndex(QStringLiteral("IP"))), Qt::EditRole).toString();
    if (m_state == TDataSetState::Insert && !IsDottedIPv4(ip)) {
        Notify::ShowError(txtInvalidHostIP);
        return false;
    }
    // Browse before the write: the reload that follows a successful write must not see a row in edit.
    const TDataSetState state = m_state;
    const int row = m_editRow;
    setState(TDataSetState::Browse, -1);
    if (!submitAll()) {
        setState(state, row);
        Notify::ShowError(SqlErrorText(lastError()));
        return false;
    }
    emit AfterRefresh();
    return true;
}

void THostsQuery::Cancel()
{
    if (m_state != TDataSetState::Edit && m_state != TDataSetState::Insert)
        return;
    // Browse first: removing an abandoned new row moves the grid's current row, which must not post it.
    setState(TDataSetState::Browse, -1);
    revertAll();
    // Results stored meanwhile were not shown while the row was in edit.
    select();
    emit AfterRefresh();
}

bool THostsQuery::Delete(int row)
{
    if (m_state == TDataSetState::Inactive) {
        Notify::ShowError(DatabaseNotOpenText());
        return false;
    }
    if (m_state == TDataSetState::Insert && row == m_editRow) {
        Cancel();
        return true;
    }
    if (m_state != TDataSetState::Browse && !Post())
        return false;
    if (row < 0 || row >= rowCount())
        return false;
    if (!removeRow(row) || !submitAll()) {
        Notify::ShowError(SqlErrorText(lastError()));
        revertAll();
        return false;
    }
    emit AfterRefresh();
    return true;
}

bool THostsQuery::Refresh()
{
    if (m_state == TDataSetState::Inactive) {
        Notify::ShowError(DatabaseNotOpenText());
        return false;
    }
    // select() would discard the row the operator is typing.
    if (m_state != TDataSetState::Browse)
        return false;
    if (!select()) {
        Notify::ShowError(SqlErrorText(lastError()));
        return false;
    }
    emit AfterRefresh();
    return true;
}

bool THostsQuery::RefreshHost(const QString& ip)
{
    if (m_state != TDataSetState::Browse)
        return false;
    const int row = RowOfIP(ip);
    return row >= 0 && selectRow(row);
}

Qt::ItemFlags THostsQuery::flags(const QModelIndex& index) const
{
    Qt::ItemFlags f = QSqlTableModel::flags(index) & ~Qt::ItemIsEditable;
    if (!index.isValid() || m_state == TDataSetState::Inactive)
        return f;
    const bool editRow = m_state == TDataSetState::Browse || index.row() == m_editRow;
    if (index.column() == FieldIndex(QStringLiteral("Alias")) && editRow)
        f |= Qt::ItemIsEditable;
    if (index.column() == FieldIndex(QStringLiteral("IP")) && m_state == TDataSetState::Insert
        && index.row() == m_editRow && !IPReadOnly)
        f |= Qt::ItemIsEditable;
    return f;
}

bool THostsQuery::setData(const QModelIndex& index, const QVariant& value, int role)
{
    if (role != Qt::EditRole || !index.isValid())
        return false;
    const bool isIP = index.column() == FieldIndex(QStringLiteral("IP"));
    const bool isAlias = index.column() == FieldIndex(QStringLiteral("Alias"));
    if (!isIP && !isAlias)
        return false;
    // A refused address change must not leave the row in edit, where it would hold back every refresh.
    if (isIP && m_state != TDataSetState::Insert)
        return false;
    if (m_state == TDataSetState::Browse && !Edit(index.row()))
        return false;
    if (index.row() != m_editRow)
        return false;
    if (isIP && (IPReadOnly || m_state != TDataSetState::Insert))
        return false;
    const int limit = isIP ? 15 : 50;
    return QSqlTableModel::setData(index, value.toString().left(limit), role);
}

bool THostsQuery::insertRowIntoTable(const QSqlRecord& values)
{
    // Only the operator's two columns are written; the figures keep their column defaults.
    QSqlRecord rec = values;
    for (int i = 0; i < rec.count(); ++i) {
        const QString name = rec.fieldName(i);
        if (name.compare(QLatin1String("IP"), Qt::CaseInsensitive) != 0
            && name.compare(QLatin1String("Alias"), Qt::CaseInsensitive) != 0)
            rec.setGenerated(i, false);
    }
    return QSqlTableModel::insertRowIntoTable(rec);
}

// ---------------------------------------------------------------------------------------------------------------
// TSettingsQuery

TSettingsQuery::TSettingsQuery(QObject* parent, const QSqlDatabase& db)
    : QObject(parent)
    , m_db(db)
{
}

void TSettingsQuery::setState(TDataSetState state)
{
    if (state == m_state)
        return;
    m_state = state;
    emit StateChange();
}

void TSettingsQuery::Open()
{
    QSqlQuery query(m_db);
    if (!query.exec(SQL))
        throw EMonitorError(SqlErrorText(query.lastError()));
    if (!query.next())
        throw EMonitorError(QStringLiteral("The Settings table holds no row."));
    m_row = query.record();
    m_stored = m_row;
    QSqlQuery rowId(m_db);
    if (!rowId.exec(QStringLiteral("SELECT rowid FROM Settings LIMIT 1")) || !rowId.next())
        throw EMonitorError(SqlErrorText(rowId.lastError()));
    m_rowId = rowId.value(0).toLongLong();
    setState(TDataSetState::Browse);
}

int TSettingsQuery::indexOf(const QString& name) const
{
    if (!Active())
        throw EMonitorError(QStringLiteral("The settings are not open: ") + DatabaseNotOpenText());
    const int i = m_row.indexOf(name);
    if (i < 0)
        throw EMonitorError(QStringLiteral("Settings: field '") + name + QStringLiteral("' not found."));
    return i;
}

QVariant TSettingsQuery::FieldByName(const QString& name) const
{
    return m_row.value(indexOf(name));
}
int TSettingsQuery::AsInteger(const QString& name) const
{
    return FieldByName(name).toInt();
}
bool TSettingsQuery::AsBoolean(const QString& name) const
{
    return boolFromVariant(FieldByName(name));
}
QString TSettingsQuery::AsString(const QString& name) const
{
    return FieldByName(name).toString();
}
bool TSettingsQuery::IsNull(const QString& name) const
{
    return FieldByName(name).isNull();
}

QStringList TSettingsQuery::FieldNames() const
{
    QStringList names;
    for (int i = 0; i < m_row.count(); ++i)
        names << m_row.fieldName(i);
    return names;
}

void TSettingsQuery::Edit()
{
    if (!Active())
        throw EMonitorError(DatabaseNotOpenText());
    if (m_state != TDataSetState::Browse)
        return;
    emit BeforeEdit();
    setState(TDataSetState::Edit);
}

void TSettingsQuery::SetField(const QString& name, const QVariant& value)
{
    const int i = indexOf(name);
    if (m_state == TDataSetState::Browse)
        Edit();
    m_row.setValue(i, value);
}

void TSettingsQuery::Post()
{
    if (m_state != TDataSetState::Edit && m_state != TDataSetState::Insert)
        return;
    emit BeforePost();
    QStringList assignments;
    for (int i = 0; i < m_row.count(); ++i)
        assignments << m_row.fieldName(i) + QStringLiteral(" = ") + literalOf(m_row.value(i));
    ExecSQL(m_db,
            QStringLiteral("UPDATE Settings SET ") + assignments.join(QStringLiteral(", "))
                + QStringLiteral(" WHERE rowid = ") + QString::number(m_rowId));
    m_stored = m_row;
    setState(TDataSetState::Browse);
}

void TSettingsQuery::Cancel()
{
    if (m_state != TDataSetState::Edit && m_state != TDataSetState::Insert)
        return;
    m_row = m_stored;
    setState(TDataSetState::Browse);
}

// ---------------------------------------------------------------------------------------------------------------
// TDetailsQuery

TDetailsQuery::TDetailsQuery(QObject* parent, const QSqlDatabase& db)
    : QSqlQueryModel(parent)
    , m_db(db)
{
}

void TDetailsQuery::Open()
{
    if (!m_db.isOpen())
        throw EMonitorError(DatabaseNotOpenText());
    setQuery(SQL, m_db);
    if (lastError().isValid()) {
        const QString message = SqlErrorText(lastError());
        clear();
        throw EMonitorError(message);
    }
    m_active = true;
    emit StateChange();
}

void TDetailsQuery::Close()
{
    if (!m_active)
        return;
    clear();
    m_active = false;
    emit StateChange();
}

void TDetailsQuery::ExecSQL()
{
    ::ExecSQL(m_db, SQL);
}

QString TDetailsQuery::DateTimeFieldText(const QVariant& stored)
{
    if (stored.isNull())
        return QString();
    if (stored.typeId() == QMetaType::QDateTime)
        return DateTimeText(DateTimeFromQt(stored.toDateTime()));
    const QString text = stored.toString();
    for (const char* format : { "yyyy-MM-dd HH:mm:ss.zzz", "yyyy-MM-dd HH:mm:ss", "yyyy-MM-dd HH:mm", "yyyy-MM-dd" }) {
        const QDateTime value = QDateTime::fromString(text, QLatin1String(format));
        if (value.isValid())
            return DateTimeText(DateTimeFromQt(value));
    }
    return text;
}

QString TDetailsQuery::NumberFieldText(const QVariant& stored)
{
    if (stored.isNull())
        return QString();
    bool ok = false;
    const double value = stored.toDouble(&ok);
    if (!ok || !std::isfinite(value))
        return stored.toString();
    if (value == 0.0)
        return QStringLiteral("0");
    // 'g' would switch to an exponent; 'f' with the decimals that leave 15 significant digits does not.
    const int exponent = int(std::floor(std::log10(std::fabs(value))));
    QString text = QString::number(value, 'f', std::clamp(14 - exponent, 0, 340));
    if (text.contains(QLatin1Char('.'))) {
        while (text.endsWith(QLatin1Char('0')))
            text.chop(1);
        if (text.endsWith(QLatin1Char('.')))
            text.chop(1);
    }
    if (text == QLatin1String("-0"))
        return QStringLiteral("0");
    return text.replace(QLatin1Char('.'), QLocale::system().decimalPoint());
}

// ---------------------------------------------------------------------------------------------------------------
// TfDM

TfDM::TfDM(QObject* parent)
    : QObject(parent)
{
    static int connectionCount = 0;
    m_connectionName = QStringLiteral("TarquelMONITOR-%1").arg(++connectionCount);
    SQLConnection = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), m_connectionName);
    SQLConnection.setDatabaseName(QString::fromLatin1(DatabaseFileName));

    qryHosts = new THostsQuery(this, SQLConnection);
    qrySettings = new TSettingsQuery(this, SQLConnection);
    qryDetails = new TDetailsQuery(this, SQLConnection);
    qryDetails->SQL = QStringLiteral("SELECT   *  From Details");
    qryReport = new TDetailsQuery(this, SQLConnection);

    connect(qryHosts, &THostsQuery::BeforeInsert, this, &TfDM::qryHostsBeforeInsert);
    connect(qryHosts, &THostsQuery::BeforeEdit, this, &TfDM::qryHostsBeforeEdit);
    connect(qryHosts, &THostsQuery::AfterRefresh, this, &TfDM::qryHostsAfterRefresh);
    connect(qrySettings, &TSettingsQuery::StateChange, this, &TfDM::dsSettingsStateChange);
    connect(qrySettings, &TSettingsQuery::BeforeEdit, this, &TfDM::qrySettingsBeforeEdit);
    connect(qrySettings, &TSettingsQuery::BeforePost, this, &TfDM::qrySettingsBeforePost);
    connect(qryDetails, &TDetailsQuery::StateChange, this, &TfDM::dsSettingsStateChange);

    if (!fDM)
        fDM = this;
    FormCreate();
}

TfDM::~TfDM()
{
    if (fDM == this)
        fDM = nullptr;
    // The models hold statements of the connection: they go before it.
    delete qryHosts;
    delete qrySettings;
    delete qryDetails;
    delete qryReport;
    SQLConnection.close();
    SQLConnection = QSqlDatabase();
    QSqlDatabase::removeDatabase(m_connectionName);
}

void TfDM::openConnection()
{
    // The file holds the mail passwords: readable by its owner only.
    const QByteArray name = QByteArray(DatabaseFileName);
    if (!QFileInfo::exists(QString::fromLatin1(name))) {
        const int fd = ::open(name.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
        if (fd >= 0)
            ::close(fd);
    }
    if (!SQLConnection.open())
        throw EMonitorError(SqlErrorText(SQLConnection.lastError()));
    sqlite3* handle = sqliteHandle(SQLConnection);
    if (!handle)
        throw EMonitorError(QStringLiteral("The SQLite driver gave no connection handle."));
    sqlite3_db_config(handle, SQLITE_DBCONFIG_DQS_DDL, 1, nullptr);
    sqlite3_db_config(handle, SQLITE_DBCONFIG_DQS_DML, 1, nullptr);
    if (sqlite3_create_function(handle, "GETDATE", 0, SQLITE_UTF8, nullptr, getDate, nullptr, nullptr) != SQLITE_OK)
        throw EMonitorError(QString::fromUtf8(sqlite3_errmsg(handle)));

    // No waiting while the lock is taken: a second copy of the program must fail at once, not after 10 s.
    sqlite3_busy_timeout(handle, 0);
    for (const char* pragma :
         { "PRAGMA foreign_keys = ON", "PRAGMA locking_mode = EXCLUSIVE", "PRAGMA synchronous = OFF",
           "PRAGMA journal_mode = DELETE", "PRAGMA cache_size = 10000" }) {
        QSqlQuery query(SQLConnection);
        if (!query.exec(QString::fromLatin1(pragma))) {
            if (sqlite3_errcode(handle) == SQLITE_BUSY)
                throw EMonitorError(txtDatabaseInUse);
            throw EMonitorError(SqlErrorText(query.lastError()));
        }
    }
    // With locking_mode exclusive, the first write lock is kept for the whole run.
    if (sqlite3_exec(handle, "BEGIN EXCLUSIVE; COMMIT;", nullptr, nullptr, nullptr) != SQLITE_OK) {
        const bool busy = sqlite3_errcode(handle) == SQLITE_BUSY;
        const QString message = QString::fromUtf8(sqlite3_errmsg(handle));
        sqlite3_exec(handle, "ROLLBACK", nullptr, nullptr, nullptr);
        throw EMonitorError(busy ? txtDatabaseInUse : message);
    }
    sqlite3_busy_timeout(handle, 10000);
}

void TfDM::createSchema()
{
    // One transaction: an interrupted first start leaves an empty file, which the next start takes as new.
    ExecSQL(SQLConnection, QStringLiteral("BEGIN"));
    try {
        for (const QString& statement : SchemaStatements())
            ExecSQL(SQLConnection, statement);
        ExecSQL(SQLConnection, QStringLiteral("COMMIT"));
    } catch (...) {
        QSqlQuery(SQLConnection).exec(QStringLiteral("ROLLBACK"));
        throw;
    }
}

void TfDM::FormCreate()
{
    // The stored language is not known before the settings row is read: a failure up to there (a second copy of
    // the program, a foreign file) must not show an empty text.
    if (txtDatabaseInUse.isEmpty())
        LoadEnglishTexts();
    try {
        const bool exists = QFileInfo::exists(QString::fromLatin1(DatabaseFileName));
        openConnection();
        bool isNew = !exists;
        if (!isNew) {
            QSqlQuery tables(SQLConnection);
            if (!tables.exec(QStringLiteral("SELECT COUNT(*) FROM sqlite_master WHERE type = 'table'"))
                || !tables.next())
                throw EMonitorError(SqlErrorText(tables.lastError()));
            isNew = tables.value(0).toInt() == 0;
        }
        if (isNew)
            createSchema();

        // The engine's own message for a file with another schema ("no such table: Hosts").
        QSqlQuery probe(SQLConnection);
        if (!probe.exec(QStringLiteral("SELECT * FROM Hosts")))
            throw EMonitorError(SqlErrorText(probe.lastError()));
        probe.finish();
        qryHosts->Open();
        qrySettings->Open();

        ApplyLanguageRule(qrySettings->AsInteger(QStringLiteral("Language")));

        NextRunAt = GetNextSyncTime(Now(), qrySettings->AsInteger(QStringLiteral("PingInterval")) / 86400.0);
        NextEmailAt = GetNextSyncTime(Now(), qrySettings->AsInteger(QStringLiteral("SendEmailinterval")) / 86400.0);

        HostsList.clear();
        LoadHostsArr();
        m_opened = true;
    } catch (const EMonitorError& e) {
        Notify::ShowError(e.Message());
    }
}

TSettingsQuery& TfDM::Settings() const
{
    if (!qrySettings->Active())
        throw EMonitorError(DatabaseNotOpenText());
    return *qrySettings;
}

void TfDM::InsertDetails(const QString& Host, double PingSize, double PingTimeout, double PingTTL,
                         const QString& PingId, const QString& PingThreadNum, const QString& ReplyIPAddr,
                         int ReplyStatus, double ReplyRTT, double ReplyDataSize, int ReplyTotal, int ErrCode,
                         const QString& ErrMsg)
{
    // The general format: shortest form of at most 15 significant digits, a point as separator.
    const auto real = [](double v) { return QString::number(v, 'g', 15); };
    const QStringList literals = {
        QuotedStr(Host),
        QuotedStr(real(PingSize)),
        QuotedStr(real(PingTimeout)),
        QuotedStr(real(PingTTL)),
        QuotedStr(PingId),
        QuotedStr(PingThreadNum),
        QuotedStr(ReplyIPAddr),
        QuotedStr(QString::number(ReplyStatus)),
        QuotedStr(real(ReplyRTT)),
        QuotedStr(real(ReplyDataSize)),
        QuotedStr(QString::number(ReplyTotal)),
        QuotedStr(QString::number(ErrCode)),
        QuotedStr(ErrMsg),
    };
    try {
        ExecSQL(SQLConnection,
                QStringLiteral("INSERT INTO Details(Host,PingSize,PingTimeout,PingTTL,PingID,PingThreadNum,ReplyIPAddr,"
                               "ReplyStatus,ReplyRTT,ReplyDataSize,ReplyTotal,ErrCode,ErrMsg) SELECT ")
                    + literals.join(QStringLiteral(", ")));
    } catch (const EMonitorError& e) {
        Notify::ShowError(e.Message());
    }
}

bool TfDM::LoadHostsArr()
{
    HostsList.clear();
    if (!SQLConnection.isOpen())
        throw EMonitorError(DatabaseNotOpenText());
    QSqlQuery query(SQLConnection);
    query.setForwardOnly(true);
    if (!query.exec(QStringLiteral("SELECT * FROM Hosts")))
        throw EMonitorError(SqlErrorText(query.lastError()));
    const int ip = query.record().indexOf(QStringLiteral("IP"));
    while (query.next())
        HostsList << query.value(ip).toString();
    if (query.lastError().isValid())
        throw EMonitorError(SqlErrorText(query.lastError()));
    return true;
}

void TfDM::qryHostsBeforeInsert()
{
    qryHosts->IPReadOnly = false;
}

void TfDM::qryHostsBeforeEdit()
{
    qryHosts->IPReadOnly = true;
}

void TfDM::qryHostsAfterRefresh()
{
    try {
        LoadHostsArr();
    } catch (const EMonitorError& e) {
        Notify::ShowError(e.Message());
    }
}

void TfDM::qryDetailsBeforeInsert()
{
    // Details rows arise only from stored pings: an insert from a grid is refused without a word.
}

void TfDM::dsSettingsStateChange()
{
    dsSettingsInsert = false;
    dsSettingsEdit = false;
    if (qrySettings->State() == TDataSetState::Edit)
        dsSettingsEdit = true;
    else if (qrySettings->State() == TDataSetState::Insert)
        dsSettingsInsert = true;
}

void TfDM::qrySettingsBeforeEdit()
{
    dsSettingsStateChange();
}

void TfDM::qrySettingsBeforePost()
{
    for (const char* column : { "PingTimeout", "PingPacketSize", "PingAttemts", "PingInterval", "SendEmailinterval" }) {
        const QString name = QString::fromLatin1(column);
        if (qrySettings->IsNull(name))
            qrySettings->SetField(name, 0);
    }
}

QStringList HostColumnTitles()
{
    return { txtColIP,
             txtColAlias,
             txtColLastPingDate,
             txtColLastPingResponse,
             txtColTotalPings24,
             txtColSuccessPings24,
             txtColSuccessRate24,
             txtColTotalPingsWeek,
             txtColSuccessPingsWeek,
             txtColSuccessRateWeek,
             txtColTotalPingsMonth,
             txtColSuccessPingsMonth,
             txtColSuccessRateMonth };
}
