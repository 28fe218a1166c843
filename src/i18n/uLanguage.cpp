#include "i18n/uLanguage.h"

#include <iterator>

QString txtHtmlFileFilter;
QString txtConfirmDeleteAllPings;
QString txtReportGeneratedOpen;
QString txtReportFailed;
QString txtHours;
QString txtDay;
QString txtMinutes;
QString txtWeek;
QString txtStopAgentFirst;
QString txtSettingsIncomplete;
QString txtRunning;
QString txtReady;
QString txtNextRunAt;
QString txtThreads;
QString txtReportTitle;
QString txtSmtpAuthError;
QString txtSmtpError;
QString txtStart;
QString txtNextEmailAt;
QString txtInvalidPingInterval;
QString txtLogReply;
QString txtLogFailure;
QString txtDetailsCaption;
QString txtDeleteAll;
QString txtOk;
QString txtRefresh;
QString txtTimeout;
QString txtPacketSize;
QString txtPingInterval;
QString txtAttempts;
QString txtSmtpServer;
QString txtPort;
QString txtUser;
QString txtPinging;
QString txtEmail;
QString txtCancel;
QString txtApply;
QString txtPassword;
QString txtProxyAddress;
QString txtInterval;
QString txtRecipients;
QString txtProxyPort;
QString txtProxyUser;
QString txtProxyPassword;
QString txtEmailStartAt;
QString txtAutoStartAgent;
QString txtCommon;
QString txtLanguage;
QString txtStartAt;
QString txtEmailIntervalList;
QString txtLanguageList;
QString txtPingIntervalList;
QString txtAgentSummary;
QString txtEmailSummary;
QString txtStopButton;
QString txtPingButton;
QString txtHostsTab;
QString txtLogTab;
QString txtSettingsButton;
QString txtClearButton;
QString txtExportHtmlButton;
QString txtDeleteAllPingsButton;
QString txtSettingsCaption;
QString txtColIP;
QString txtColAlias;
QString txtColLastPingDate;
QString txtColLastPingResponse;
QString txtColTotalPings24;
QString txtColSuccessPings24;
QString txtColSuccessRate24;
QString txtColTotalPingsWeek;
QString txtColSuccessPingsWeek;
QString txtColSuccessRateWeek;
QString txtColTotalPingsMonth;
QString txtColSuccessPingsMonth;
QString txtColSuccessRateMonth;
QString txtColPingDatetime;
QString txtColReplyRTT;
QString txtColErrMsg;
QString txtInvalidHostIP;
QString txtDatabaseInUse;
QString txtIcmpPermission;

void LoadEnglishTexts()
{
    txtHtmlFileFilter = QStringLiteral("HTML files (*.html)|*.html");
    txtConfirmDeleteAllPings = QStringLiteral("Delete all pings?");
    txtReportGeneratedOpen = QStringLiteral("HTML report generated. Open the file?");
    txtReportFailed = QStringLiteral("HTML report generation failed.");
    txtHours = QStringLiteral("hour(s)");
    txtDay = QStringLiteral("day");
    txtMinutes = QStringLiteral("minute(s)");
    txtWeek = QStringLiteral("week");
    txtStopAgentFirst = QStringLiteral("Stop agent before change the settings.");
    txtSettingsIncomplete = QStringLiteral("Not all settings where informed.");
    txtRunning = QStringLiteral("Running");
    txtReady = QStringLiteral("Ready");
    txtNextRunAt = QStringLiteral("Next run at: ");
    txtThreads = QStringLiteral("Threads: ");
    txtReportTitle = QStringLiteral("Tarquel MONITOR - Ping report");
    txtSmtpAuthError = QStringLiteral("E-mail server authentication error.");
    txtSmtpError = QStringLiteral("Error on SMTP server.");
    txtStart = QStringLiteral("&Start");
    txtNextEmailAt = QStringLiteral("Next e-mail at: ");
    txtInvalidPingInterval = QStringLiteral("No valid ping interval on settings.");
    txtLogReply = QStringLiteral("Thread %d for %s, received %d bytes from %s in %dms");
    txtLogFailure = QStringLiteral("Thread %d for %s, %s");
    txtDetailsCaption = QStringLiteral("Ping details: ");
    txtDeleteAll = QStringLiteral("Delete &all");
    txtOk = QStringLiteral("&OK");
    txtRefresh = QStringLiteral("&Refresh");
    txtTimeout = QStringLiteral("Timeout");
    txtPacketSize = QStringLiteral("Packet size");
    txtPingInterval = QStringLiteral("Ping interval");
    txtAttempts = QStringLiteral("Attempts");
    txtSmtpServer = QStringLiteral("SMTP server");
    txtPort = QStringLiteral("Port");
    txtUser = QStringLiteral("User");
    txtPinging = QStringLiteral("Pinging");
    txtEmail = QStringLiteral("E-mail");
    txtCancel = QStringLiteral("&Cancel");
    txtApply = QStringLiteral("&Apply");
    txtPassword = QStringLiteral("Password");
    txtProxyAddress = QStringLiteral("Proxy address");
    txtInterval = QStringLiteral("Interval");
    txtRecipients = QStringLiteral("Recipients");
    txtProxyPort = QStringLiteral("Proxy port");
    txtProxyUser = QStringLiteral("Proxy user");
    txtProxyPassword = QStringLiteral("Proxy password");
    txtEmailStartAt = QStringLiteral("Start at");
    txtAutoStartAgent = QStringLiteral("Auto start agent");
    txtCommon = QStringLiteral("Common");
    txtLanguage = QStringLiteral("Language");
    txtStartAt = QStringLiteral("Start at");
    txtEmailIntervalList = QStringLiteral("12 hours,1 day,1 week");
    txtLanguageList = QStringLiteral("Portugues,English");
    txtPingIntervalList = QStringLiteral("1 minute,10 minutes,1 hour,6 hours,12 hours,1 day");
    txtAgentSummary = QStringLiteral("Agent is set to ping every host %d times by interval of %s, timeout %d "
                                     "miliseconds and packet size of %d bytes.");
    txtEmailSummary = QStringLiteral("Program will send e-mail report from %s by interval of %s");
    txtStopButton = QStringLiteral("&Stop");
    txtPingButton = QStringLiteral("&Ping");
    txtHostsTab = QStringLiteral("&Hosts");
    txtLogTab = QStringLiteral("&Log");
    txtSettingsButton = QStringLiteral("S&ettings");
    txtClearButton = QStringLiteral("&Clear");
    txtExportHtmlButton = QStringLiteral("Export &HTML");
    txtDeleteAllPingsButton = QStringLiteral("De&lete all pings");
    txtSettingsCaption = QStringLiteral("Settings");
    txtColIP = QStringLiteral("IP");
    txtColAlias = QStringLiteral("Alias");
    txtColLastPingDate = QStringLiteral("Last ping date time");
    txtColLastPingResponse = QStringLiteral("Last response time (ms)");
    txtColTotalPings24 = QStringLiteral("Last 24h total ping");
    txtColSuccessPings24 = QStringLiteral("Last 24h success ping");
    txtColSuccessRate24 = QStringLiteral("Last 24h success rate (%)");
    txtColTotalPingsWeek = QStringLiteral("Last week total ping");
    txtColSuccessPingsWeek = QStringLiteral("Last week success ping");
    txtColSuccessRateWeek = QStringLiteral("Last week success rate (%)");
    txtColTotalPingsMonth = QStringLiteral("Last month total ping");
    txtColSuccessPingsMonth = QStringLiteral("Last month success ping");
    txtColSuccessRateMonth = QStringLiteral("Last month success rate (%)");
    txtColPingDatetime = QStringLiteral("Ping date/time");
    txtColReplyRTT = QStringLiteral("Response time (ms)");
    txtColErrMsg = QStringLiteral("Error message");
    txtInvalidHostIP = QStringLiteral(
        "The IP address must be a dotted IPv4 address: four numbers from 0 to 255 separated by points.");
    txtDatabaseInUse = QStringLiteral("The database TarquelMONITOR.db is in use by another copy of the program.");
    txtIcmpPermission = QStringLiteral(
        "This program may not send ICMP echo requests. Run it as root, give the executable the capability with "
        "\"setcap cap_net_raw+ep\", or allow ping sockets for your group with the sysctl net.ipv4.ping_group_range.");
}

void LoadPortugueseTexts()
{
    txtHtmlFileFilter = QStringLiteral("Arquivo HTML (*.html)|*.html");
    txtConfirmDeleteAllPings = QStringLiteral("Apagar todos os pings?");
    txtReportGeneratedOpen = QStringLiteral("Arquivo HTML gerado, abrir o arquivo?");
    txtReportFailed = QStringLiteral("Falha na geração do arquivo HTML.");
    txtHours = QStringLiteral("hora(s)");
    txtDay = QStringLiteral("dia");
    txtMinutes = QStringLiteral("minuto(s)");
    txtWeek = QStringLiteral("semana");
    txtStopAgentFirst = QStringLiteral("Pare o monitor antes de alterar as configurções.");
    txtSettingsIncomplete = QStringLiteral("Nem todas as configurações foram informadas.");
    txtRunning = QStringLiteral("Executando");
    txtReady = QStringLiteral("Pronto");
    txtNextRunAt = QStringLiteral("Próxima execução: ");
    txtThreads = QStringLiteral("Processos: ");
    txtReportTitle = QStringLiteral("Tarquel MONITOR - Relatório de pings");
    txtSmtpAuthError = QStringLiteral("Erro na autenticação do servidor de e-mail.");
    txtSmtpError = QStringLiteral("Erro no servidor SMTP.");
    txtStart = QStringLiteral("&Iniciar");
    txtNextEmailAt = QStringLiteral("Próximo envio de email: ");
    txtInvalidPingInterval = QStringLiteral("Intervalo de ping inválido nas configurações.");
    txtLogReply = QStringLiteral("Processo %d para %s, recebeu %d bytes de %s em %dms");
    txtLogFailure = QStringLiteral("Processo %d para %s, %s");
    txtDetailsCaption = QStringLiteral("Detalhes: ");
    txtDeleteAll = QStringLiteral("&Apagar tudo");
    txtOk = QStringLiteral("&OK");
    txtRefresh = QStringLiteral("A&tualizar");
    txtTimeout = QStringLiteral("Limite de tempo");
    txtPacketSize = QStringLiteral("Tamanho");
    txtPingInterval = QStringLiteral("Intervalo");
    txtAttempts = QStringLiteral("Tentativas");
    txtSmtpServer = QStringLiteral("Servidor SMTP");
    txtPort = QStringLiteral("Porta");
    txtUser = QStringLiteral("Usuário");
    txtPinging = QStringLiteral("Pings");
    txtEmail = QStringLiteral("E-mail");
    txtCancel = QStringLiteral("&Cancelar");
    txtApply = QStringLiteral("&Aplicar");
    txtPassword = QStringLiteral("Senha");
    txtProxyAddress = QStringLiteral("Endereço proxy");
    txtInterval = QStringLiteral("Intervalo");
    txtRecipients = QStringLiteral("Destinatários");
    txtProxyPort = QStringLiteral("Porta do proxy");
    txtProxyUser = QStringLiteral("usuário do proxy");
    txtProxyPassword = QStringLiteral("Senha do proxy");
    txtEmailStartAt = QStringLiteral("Iniciar em");
    txtAutoStartAgent = QStringLiteral("Iniciar ao abrir");
    txtCommon = QStringLiteral("Gerais");
    txtLanguage = QStringLiteral("Idioma");
    txtStartAt = QStringLiteral("Iniciar em");
    txtEmailIntervalList = QStringLiteral("12 horas,1 dia,1 semana");
    txtLanguageList = QStringLiteral("Portugues,English");
    txtPingIntervalList = QStringLiteral("1 minuto,10 minutos,1 hora,6 horas,12 horas,1 dia");
    txtAgentSummary = QStringLiteral("Monitor foi configurado para fazer %d pings a cada %s com tempo limite de %d ms "
                                     "e tamanho do pacote de %d bytes.");
    txtEmailSummary = QStringLiteral("O programa irá enviar o relatório por e-mail como %s em um intervalo de %s");
    txtStopButton = QStringLiteral("&Parar");
    txtPingButton = QStringLiteral("Pi&ng");
    txtHostsTab = QStringLiteral("&IPs");
    txtLogTab = QStringLiteral("&Log");
    txtSettingsButton = QStringLiteral("&Configurações");
    txtClearButton = QStringLiteral("&Limpar");
    txtExportHtmlButton = QStringLiteral("Exportar &HTML");
    txtDeleteAllPingsButton = QStringLiteral("Apa&gar pings");
    txtSettingsCaption = QStringLiteral("Configurações");
    txtColIP = QStringLiteral("IP");
    txtColAlias = QStringLiteral("Nome");
    txtColLastPingDate = QStringLiteral("Último ping");
    txtColLastPingResponse = QStringLiteral("Tempo de resposta (ms)");
    txtColTotalPings24 = QStringLiteral("Qtd total de pings - 24h");
    txtColSuccessPings24 = QStringLiteral("Pings com sucesso - 24h");
    txtColSuccessRate24 = QStringLiteral("Sucesso (%) - 24h");
    txtColTotalPingsWeek = QStringLiteral("Qtd total de pings - semana");
    txtColSuccessPingsWeek = QStringLiteral("Pings com sucesso - semana");
    txtColSuccessRateWeek = QStringLiteral("Sucesso (%) - semana");
    txtColTotalPingsMonth = QStringLiteral("Qtd total de pings - mês");
    txtColSuccessPingsMonth = QStringLiteral("Pings com sucesso - mês");
    txtColSuccessRateMonth = QStringLiteral("Sucesso (%) - mês");
    txtColPingDatetime = QStringLiteral("Data e hora");
    txtColReplyRTT = QStringLiteral("Tempo de resposta (ms)");
    txtColErrMsg = QStringLiteral("Mensagem de erro");
    txtInvalidHostIP
        = QStringLiteral("O endereço IP deve ser um endereço IPv4: quatro números de 0 a 255 separados por pontos.");
    txtDatabaseInUse = QStringLiteral("O banco de dados TarquelMONITOR.db está em uso por outra cópia do programa.");
    txtIcmpPermission = QStringLiteral("Este programa não tem permissão para enviar pedidos de eco ICMP. Execute-o "
                                       "como root, dê ao executável a capacidade com \"setcap cap_net_raw+ep\", ou "
                                       "permita ping sockets para o seu grupo com o sysctl net.ipv4.ping_group_range.");
}

void ApplyLanguageRule(int language)
{
    if (language != 0)
        LoadEnglishTexts();
    else
        LoadPortugueseTexts();
}

const TTextEntry* TextEntries(int* count)
{
    static const TTextEntry entries[] = {
        { "txtHtmlFileFilter", &txtHtmlFileFilter },
        { "txtConfirmDeleteAllPings", &txtConfirmDeleteAllPings },
        { "txtReportGeneratedOpen", &txtReportGeneratedOpen },
        { "txtReportFailed", &txtReportFailed },
        { "txtHours", &txtHours },
        { "txtDay", &txtDay },
        { "txtMinutes", &txtMinutes },
        { "txtWeek", &txtWeek },
        { "txtStopAgentFirst", &txtStopAgentFirst },
        { "txtSettingsIncomplete", &txtSettingsIncomplete },
        { "txtRunning", &txtRunning },
        { "txtReady", &txtReady },
        { "txtNextRunAt", &txtNextRunAt },
        { "txtThreads", &txtThreads },
        { "txtReportTitle", &txtReportTitle },
        { "txtSmtpAuthError", &txtSmtpAuthError },
        { "txtSmtpError", &txtSmtpError },
        { "txtStart", &txtStart },
        { "txtNextEmailAt", &txtNextEmailAt },
        { "txtInvalidPingInterval", &txtInvalidPingInterval },
        { "txtLogReply", &txtLogReply },
        { "txtLogFailure", &txtLogFailure },
        { "txtDetailsCaption", &txtDetailsCaption },
        { "txtDeleteAll", &txtDeleteAll },
        { "txtOk", &txtOk },
        { "txtRefresh", &txtRefresh },
        { "txtTimeout", &txtTimeout },
        { "txtPacketSize", &txtPacketSize },
        { "txtPingInterval", &txtPingInterval },
        { "txtAttempts", &txtAttempts },
        { "txtSmtpServer", &txtSmtpServer },
        { "txtPort", &txtPort },
        { "txtUser", &txtUser },
        { "txtPinging", &txtPinging },
        { "txtEmail", &txtEmail },
        { "txtCancel", &txtCancel },
        { "txtApply", &txtApply },
        { "txtPassword", &txtPassword },
        { "txtProxyAddress", &txtProxyAddress },
        { "txtInterval", &txtInterval },
        { "txtRecipients", &txtRecipients },
        { "txtProxyPort", &txtProxyPort },
        { "txtProxyUser", &txtProxyUser },
        { "txtProxyPassword", &txtProxyPassword },
        { "txtEmailStartAt", &txtEmailStartAt },
        { "txtAutoStartAgent", &txtAutoStartAgent },
        { "txtCommon", &txtCommon },
        { "txtLanguage", &txtLanguage },
        { "txtStartAt", &txtStartAt },
        { "txtEmailIntervalList", &txtEmailIntervalList },
        { "txtLanguageList", &txtLanguageList },
        { "txtPingIntervalList", &txtPingIntervalList },
        { "txtAgentSummary", &txtAgentSummary },
        { "txtEmailSummary", &txtEmailSummary },
        { "txtStopButton", &txtStopButton },
        { "txtPingButton", &txtPingButton },
        { "txtHostsTab", &txtHostsTab },
        { "txtLogTab", &txtLogTab },
        { "txtSettingsButton", &txtSettingsButton },
        { "txtClearButton", &txtClearButton },
        { "txtExportHtmlButton", &txtExportHtmlButton },
        { "txtDeleteAllPingsButton", &txtDeleteAllPingsButton },
        { "txtSettingsCaption", &txtSettingsCaption },
        { "txtColIP", &txtColIP },
        { "txtColAlias", &txtColAlias },
        { "txtColLastPingDate", &txtColLastPingDate },
        { "txtColLastPingResponse", &txtColLastPingResponse },
        { "txtColTotalPings24", &txtColTotalPings24 },
        { "txtColSuccessPings24", &txtColSuccessPings24 },
        { "txtColSuccessRate24", &txtColSuccessRate24 },
        { "txtColTotalPingsWeek", &txtColTotalPingsWeek },
        { "txtColSuccessPingsWeek", &txtColSuccessPingsWeek },
        { "txtColSuccessRateWeek", &txtColSuccessRateWeek },
        { "txtColTotalPingsMonth", &txtColTotalPingsMonth },
        { "txtColSuccessPingsMonth", &txtColSuccessPingsMonth },
        { "txtColSuccessRateMonth", &txtColSuccessRateMonth },
        { "txtColPingDatetime", &txtColPingDatetime },
        { "txtColReplyRTT", &txtColReplyRTT },
        { "txtColErrMsg", &txtColErrMsg },
        { "txtInvalidHostIP", &txtInvalidHostIP },
        { "txtDatabaseInUse", &txtDatabaseInUse },
        { "txtIcmpPermission", &txtIcmpPermission },
    };
    *count = int(std::size(entries));
    return entries;
}
