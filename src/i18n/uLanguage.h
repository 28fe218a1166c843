#pragma once

#include <QString>

// The process-wide text table: every caption, message and line format the program composes.
// Filled as a whole in one language; read at the moment of use.

extern QString txtHtmlFileFilter;
extern QString txtConfirmDeleteAllPings;
extern QString txtReportGeneratedOpen;
extern QString txtReportFailed;
extern QString txtHours;
extern QString txtDay;
extern QString txtMinutes;
extern QString txtWeek;
extern QString txtStopAgentFirst;
extern QString txtSettingsIncomplete;
extern QString txtRunning;
extern QString txtReady;
extern QString txtNextRunAt;
extern QString txtThreads;
extern QString txtReportTitle;
extern QString txtSmtpAuthError;
extern QString txtSmtpError;
extern QString txtStart;
extern QString txtNextEmailAt;
extern QString txtInvalidPingInterval;
extern QString txtLogReply;
extern QString txtLogFailure;
extern QString txtDetailsCaption;
extern QString txtDeleteAll;
extern QString txtOk;
extern QString txtRefresh;
extern QString txtTimeout;
extern QString txtPacketSize;
extern QString txtPingInterval;
extern QString txtAttempts;
extern QString txtSmtpServer;
extern QString txtPort;
extern QString txtUser;
extern QString txtPinging;
extern QString txtEmail;
extern QString txtCancel;
extern QString txtApply;
extern QString txtPassword;
extern QString txtProxyAddress;
extern QString txtInterval;
extern QString txtRecipients;
extern QString txtProxyPort;
extern QString txtProxyUser;
extern QString txtProxyPassword;
extern QString txtEmailStartAt;
extern QString txtAutoStartAgent;
extern QString txtCommon;
extern QString txtLanguage;
extern QString txtStartAt;
extern QString txtEmailIntervalList;
extern QString txtLanguageList;
extern QString txtPingIntervalList;
extern QString txtAgentSummary;
extern QString txtEmailSummary;
extern QString txtStopButton;
extern QString txtPingButton;
extern QString txtHostsTab;
extern QString txtLogTab;
extern QString txtSettingsButton;
extern QString txtClearButton;
extern QString txtExportHtmlButton;
extern QString txtDeleteAllPingsButton;
extern QString txtSettingsCaption;
extern QString txtColIP;
extern QString txtColAlias;
extern QString txtColLastPingDate;
extern QString txtColLastPingResponse;
extern QString txtColTotalPings24;
extern QString txtColSuccessPings24;
extern QString txtColSuccessRate24;
extern QString txtColTotalPingsWeek;
extern QString txtColSuccessPingsWeek;
extern QString txtColSuccessRateWeek;
extern QString txtColTotalPingsMonth;
extern QString txtColSuccessPingsMonth;
extern QString txtColSuccessRateMonth;
extern QString txtColPingDatetime;
extern QString txtColReplyRTT;
extern QString txtColErrMsg;
// Messages of the program itself, beyond the original table.
extern QString txtInvalidHostIP;
extern QString txtDatabaseInUse;
extern QString txtIcmpPermission;

void LoadEnglishTexts();
void LoadPortugueseTexts();

// 0 selects Portuguese, every other value English.
void ApplyLanguageRule(int language);

struct TTextEntry
{
    const char* key;
    QString* text;
};

// Every entry of the table, in declaration order.
const TTextEntry* TextEntries(int* count);
