#include "store/uSchema.h"

namespace {

const char* const createHosts = R"(CREATE TABLE Hosts (
    IP VARCHAR( 15 ) NOT NULL,
    Alias VARCHAR( 50 ),
    LastPingDate DATETIME,
    LastPingResponse NVARCHAR( 20 ) DEFAULT 0,
    TotalPings24 INT NOT NULL DEFAULT 0,
    SuccessPings24 INT NOT NULL DEFAULT 0,
    SuccessRate24 DECIMAL( 38, 2 ) NOT NULL DEFAULT 0,
    TotalPingsWeek INT NOT NULL DEFAULT 0,
    SuccessPingsWeek INT NOT NULL DEFAULT 0,
    SuccessRateWeek DECIMAL( 38, 2 ) NOT NULL DEFAULT 0,
    TotalPingsMonth INT NOT NULL DEFAULT 0,
    SuccessPingsMonth INT NOT NULL DEFAULT 0,
    SuccessRateMonth DECIMAL( 38, 2 ) NOT NULL DEFAULT 0,
    CONSTRAINT [sqlite_autoindex_Hosts_1] PRIMARY KEY ( IP )
))";

const char* const createDetails = R"(CREATE TABLE Details (
    ID INTEGER PRIMARY KEY AUTOINCREMENT,
    Host NVARCHAR( 50 ) NOT NULL CONSTRAINT [FK_Hosts] REFERENCES Hosts ( IP ) ON DELETE CASCADE,
    PingSize DECIMAL( 38, 20 ) NOT NULL DEFAULT "0",
    PingTimeout DECIMAL( 38, 20 ) NOT NULL DEFAULT "0",
    PingTTL DECIMAL( 38, 20 ) NOT NULL DEFAULT "0",
    PingId NVARCHAR( 50 ),
    PingThreadNum NVARCHAR( 50 ),
    ReplyIPAddr NVARCHAR( 50 ),
    ReplyStatus INTEGER NOT NULL DEFAULT "0",
    ReplyRTT DECIMAL( 38, 20 ) NOT NULL DEFAULT "0",
    ReplyDataSize DECIMAL( 38, 20 ) NOT NULL DEFAULT "0",
    ReplyTotal INTEGER NOT NULL DEFAULT "0",
    ErrCode INTEGER NOT NULL DEFAULT "0",
    ErrMsg NVARCHAR( 100 ),
    PingDatetime DATETIME NOT NULL DEFAULT ( GETDATE(  )  )
))";

const char* const createSettings = R"(CREATE TABLE Settings (
    DatabasePath NVARCHAR( 100 ),
    PingTimeout INTEGER NOT NULL DEFAULT 1000,
    PingPacketSize INTEGER NOT NULL DEFAULT 32,
    PingAttemts INTEGER NOT NULL DEFAULT 1,
    PingInterval INTEGER NOT NULL DEFAULT 100,
    SendEmailinterval INTEGER NOT NULL DEFAULT 43200,
    EmailRecipients NVARCHAR( 1000 ),
    ServerPort INTEGER,
    ServerAdd NVARCHAR( 32 ),
    User NVARCHAR( 50 ),
    Password NVARCHAR( 50 ),
    Proxy NVARCHAR( 32 ),
    ProxyPort INTEGER,
    ProxyUser NVARCHAR( 50 ),
    ProxyPass NVARCHAR( 50 ),
    AutoStartAgent BOOLEAN NOT NULL DEFAULT true,
    Language TINYINT NOT NULL DEFAULT 0,
    CONSTRAINT [sqlite_autoindex_Settings_1] PRIMARY KEY ( DatabasePath )
))";

const char* const insertDefaultSettings = "INSERT INTO Settings (Language) VALUES (0)";

// The trigger of the first release, kept for comparison: each count scans the whole of Details.
const char* const createOriginalTrigger = R"(CREATE TRIGGER TRG_Details_UPDATE_Hosts_INSERT AFTER INSERT ON Details
BEGIN
  UPDATE Hosts SET
    LastPingDate = ( SELECT MAX( Details.PingDatetime ) FROM Details WHERE Details.Host = New.Host ),
    LastPingResponse = ( SELECT Details.ReplyRTT FROM Details WHERE Details.Host = New.Host
        AND Details.ReplyDataSize > 0 AND Details.ReplyIPAddr <> "" ORDER BY Details.PingDatetime DESC LIMIT 1 ),
    TotalPings24 = ( SELECT COUNT( Id ) FROM Details WHERE Details.Host = New.Host
        AND datetime( Details.PingDatetime )
        BETWEEN datetime( "now", "localtime", "-1 days" ) AND datetime( "now", "localtime" ) ),
    SuccessPings24 = ( SELECT COUNT( Id ) FROM Details WHERE Details.Host = New.Host AND ReplyDataSize > 0
        AND datetime( Details.PingDatetime )
        BETWEEN datetime( "now", "localtime", "-1 days" ) AND datetime( "now", "localtime" ) ),
    TotalpingsWeek = ( SELECT COUNT( Id ) FROM Details WHERE Details.Host = New.Host
        AND datetime( Details.PingDatetime )
        BETWEEN datetime( "now", "localtime", "-7 days" ) AND datetime( "now", "localtime" ) ),
    SuccessPingsWeek = ( SELECT COUNT( Id ) FROM Details WHERE Details.Host = New.Host AND ReplyDataSize > 0
        AND datetime( Details.PingDatetime )
        BETWEEN datetime( "now", "localtime", "-7 days" ) AND datetime( "now", "localtime" ) ),
    TotalpingsMonth = ( SELECT COUNT( Id ) FROM Details WHERE Details.Host = New.Host
        AND datetime( Details.PingDatetime )
        BETWEEN datetime( "now", "localtime", "-30 days" ) AND datetime( "now", "localtime" ) ),
    SuccessPingsMonth = ( SELECT COUNT( Id ) FROM Details WHERE Details.Host = New.Host AND ReplyDataSize > 0
        AND datetime( Details.PingDatetime )
        BETWEEN datetime( "now", "localtime", "-30 days" ) AND datetime( "now", "localtime" ) )
  WHERE Hosts.IP = New.Host;
  UPDATE Hosts SET
    SuccessRate24 = CAST ( ( ( SuccessPings24 * 1.0 ) / TotalPings24 ) * 100 AS Decimal( 38, 2 )  ),
    SuccessRateWeek = CAST ( ( ( SuccessPingsWeek * 1.0 ) / TotalpingsWeek ) * 100 AS Decimal( 38, 2 )  ),
    SuccessRateMonth = CAST ( ( ( SuccessPingsMonth * 1.0 ) / TotalpingsMonth ) * 100 AS Decimal( 38, 2 )  )
  WHERE Hosts.IP = New.Host;
END)";

// One entry per host and ping time, carrying the success test: the trigger's counts read this index alone, and
// the latest ping time of a host is its last entry.
const char* const createDetailsIndex
    = "CREATE INDEX IX_Details_Host_PingDatetime ON Details ( Host, PingDatetime, ReplyDataSize )";

// The same figures as the trigger above, read from the index instead of eight scans of the whole table.
//
// The windows compare the stored text itself, so that the index range serves them. A stored value is
// "yyyy-mm-dd hh:nn:ss.zzz" or a date alone, and datetime() of it is its first 19 characters (a date alone gives
// 00:00:00). Its second lies within [lo, hi] exactly when the text lies strictly between (lo - 1 s) || '/' and
// hi || '/': '/' sorts right after '.', so "hi.999" is below the upper limit and "hi+1s" above it, and a date
// alone stays inside a window that begins at its midnight, which a plain >= lo would drop. The three windows
// share their upper bound and nest, so they are counted over three disjoint ranges, one pass over the host's
// 30-day entries, and summed.
//
// Among pings of the same stored time, the first inserted gives the last response, as the sort over the full
// scan above does.
const char* const createTrigger = R"(CREATE TRIGGER TRG_Details_UPDATE_Hosts_INSERT AFTER INSERT ON Details
BEGIN
  UPDATE Hosts SET
    LastPingDate = ( SELECT MAX( PingDatetime ) FROM Details WHERE Host = New.Host ),
    LastPingResponse = ( SELECT ReplyRTT FROM Details WHERE Host = New.Host
        AND ReplyDataSize > 0 AND ReplyIPAddr <> '' ORDER BY PingDatetime DESC, ID LIMIT 1 ),
    ( TotalPings24, SuccessPings24, TotalPingsWeek, SuccessPingsWeek, TotalPingsMonth, SuccessPingsMonth ) = (
      SELECT Day.Pings, Day.Successes, Day.Pings + Week.Pings, Day.Successes + Week.Successes,
        Day.Pings + Week.Pings + Month.Pings, Day.Successes + Week.Successes + Month.Successes
      FROM ( SELECT COUNT( * ) AS Pings, COUNT( * ) FILTER ( WHERE ReplyDataSize > 0 ) AS Successes
          FROM Details WHERE Host = New.Host
            AND PingDatetime > datetime( 'now', 'localtime', '-1 days', '-1 seconds' ) || '/'
            AND PingDatetime < datetime( 'now', 'localtime' ) || '/' ) AS Day,
        ( SELECT COUNT( * ) AS Pings, COUNT( * ) FILTER ( WHERE ReplyDataSize > 0 ) AS Successes
          FROM Details WHERE Host = New.Host
            AND PingDatetime > datetime( 'now', 'localtime', '-7 days', '-1 seconds' ) || '/'
            AND PingDatetime <= datetime( 'now', 'localtime', '-1 days', '-1 seconds' ) || '/' ) AS Week,
        ( SELECT COUNT( * ) AS Pings, COUNT( * ) FILTER ( WHERE ReplyDataSize > 0 ) AS Successes
          FROM Details WHERE Host = New.Host
            AND PingDatetime > datetime( 'now', 'localtime', '-30 days', '-1 seconds' ) || '/'
            AND PingDatetime <= datetime( 'now', 'localtime', '-7 days', '-1 seconds' ) || '/' ) AS Month )
  WHERE Hosts.IP = New.Host;
  UPDATE Hosts SET
    SuccessRate24 = CAST ( ( ( SuccessPings24 * 1.0 ) / TotalPings24 ) * 100 AS Decimal( 38, 2 )  ),
    SuccessRateWeek = CAST ( ( ( SuccessPingsWeek * 1.0 ) / TotalPingsWeek ) * 100 AS Decimal( 38, 2 )  ),
    SuccessRateMonth = CAST ( ( ( SuccessPingsMonth * 1.0 ) / TotalPingsMonth ) * 100 AS Decimal( 38, 2 )  )
  WHERE Hosts.IP = New.Host;
END)";

QStringList statementList(std::initializer_list<const char*> statements)
{
    QStringList list;
    for (const char* statement : statements)
        list << QString::fromLatin1(statement);
    return list;
}

} // namespace

QStringList SchemaStatements()
{
    return statementList(
        { createHosts, createDetails, createSettings, insertDefaultSettings, createDetailsIndex, createTrigger });
}

QStringList OriginalSchemaStatements()
{
    return statementList({ createHosts, createDetails, createSettings, insertDefaultSettings, createOriginalTrigger });
}
