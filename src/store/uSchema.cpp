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

#define TM_COUNT_SINCE(days, extra)                                                                                    \
    "( SELECT COUNT( Id ) FROM Details WHERE Details.Host = New.Host" extra                                           \
    " AND datetime( Details.PingDatetime ) BETWEEN datetime( \"now\", \"localtime\", \"-" days " days\" )"             \
    " AND datetime( \"now\", \"localtime\" ) )"

const char* const createTrigger = "CREATE TRIGGER TRG_Details_UPDATE_Hosts_INSERT AFTER INSERT ON Details\n"
                                  "BEGIN\n"
                                  "  UPDATE Hosts SET\n"
                                  "    LastPingDate = ( SELECT MAX( Details.PingDatetime ) FROM Details"
                                  " WHERE Details.Host = New.Host ),\n"
                                  "    LastPingResponse = ( SELECT Details.ReplyRTT FROM Details"
                                  " WHERE Details.Host = New.Host AND Details.ReplyDataSize > 0"
                                  " AND Details.ReplyIPAddr <> \"\" ORDER BY Details.PingDatetime DESC LIMIT 1 ),\n"
                                  "    TotalPings24 = " TM_COUNT_SINCE("1", "") ",\n"
                                  "    SuccessPings24 = " TM_COUNT_SINCE("1", " AND ReplyDataSize > 0") ",\n"
                                  "    TotalpingsWeek = " TM_COUNT_SINCE("7", "") ",\n"
                                  "    SuccessPingsWeek = " TM_COUNT_SINCE("7", " AND ReplyDataSize > 0") ",\n"
                                  "    TotalpingsMonth = " TM_COUNT_SINCE("30", "") ",\n"
                                  "    SuccessPingsMonth = " TM_COUNT_SINCE("30", " AND ReplyDataSize > 0") "\n"
                                  "  WHERE Hosts.IP = New.Host;\n"
                                  "  UPDATE Hosts SET\n"
                                  "    SuccessRate24 = CAST ( ( ( SuccessPings24 * 1.0 ) / TotalPings24 ) * 100"
                                  " AS Decimal( 38, 2 )  ),\n"
                                  "    SuccessRateWeek = CAST ( ( ( SuccessPingsWeek * 1.0 ) / TotalpingsWeek ) * 100"
                                  " AS Decimal( 38, 2 )  ),\n"
                                  "    SuccessRateMonth = CAST ( ( ( SuccessPingsMonth * 1.0 ) / TotalpingsMonth ) * 100"
                                  " AS Decimal( 38, 2 )  )\n"
                                  "  WHERE Hosts.IP = New.Host;\n"
                                  "END";
#undef TM_COUNT_SINCE

} // namespace

QStringList SchemaStatements()
{
    QStringList statements;
    for (const char* statement : {createHosts, createDetails, createSettings, insertDefaultSettings, createTrigger})
        statements << QString::fromLatin1(statement);
    return statements;
}
