#pragma once

#include <QAction>
#include <QMainWindow>
#include <QPointer>
#include <QTimer>

#include <functional>

class QLabel;
class QPlainTextEdit;
class QPushButton;
class QSplitter;
class QTabWidget;
class QTableView;
class QToolButton;
class THostsQuery;
class TPingThread;

// A command of the main window: caption, image index and execute handler; buttons bound to it follow it.
class TCommand : public QAction
{
    Q_OBJECT

public:
    TCommand(QObject* parent, int imageIndex);
    int ImageIndex() const { return m_imageIndex; }
    void SetImageIndex(int index);
    void Execute() { trigger(); }

private:
    int m_imageIndex;
};

class TfMain : public QMainWindow
{
    Q_OBJECT

public:
    explicit TfMain(QWidget* parent = nullptr);
    ~TfMain() override;

    // Binds the hosts grid and the navigator to the data module's hosts query (start-up, after fDM exists).
    void BindData();

    // Workers of the current cycle created but not yet reported.
    int ThreadNum = 0;

    bool CheckSettings(bool CheckPing, bool CheckEmail);

    // Status bar text of one of the four panels.
    QString PanelText(int panel) const;
    bool Terminating() const;

    // The navigator's "Delete record?" question (OK/Cancel); tests replace it.
    std::function<bool()> ConfirmDeleteRecord;
    // The save dialog of the export; returns the chosen name or an empty string; tests replace it.
    std::function<QString(const QString& filter)> AskSaveFileName;
    // The shell's "open" on a file; tests replace it.
    std::function<void(const QString& path)> OpenDocument;

    // Bound on connecting and on each reply of the e-mail dialogue.
    int EmailTimeoutMs = 30000;

    // Commands and timers, as the operator's controls reach them.
    TCommand* acPingHosts;
    TCommand* acOpenSettings;
    TCommand* acTimerStart;
    TCommand* acOpenDetails;
    TCommand* acLoadStext;
    TCommand* acExportHTML;
    TCommand* acDeleteAllPings;
    TCommand* acSendEmail;
    QTimer* tmrPingAll;
    QTimer* tmrSync;
    QTimer* tmrSyncEmail;

    QWidget* pInfo;
    QPushButton* btnStartAgent;
    QPushButton* btnPingMannualy;
    QPushButton* btnSettings;
    QPushButton* btnResetPings;
    QPushButton* btnHTMLExport;
    QLabel* sText;
    QSplitter* spMain;
    QTabWidget* pcSubMain;
    QWidget* tsHosts;
    QWidget* tsThreadOutput;
    QWidget* DBNavigator1;
    QTableView* DBGHosts;
    QPushButton* btnLogClear;
    QPlainTextEdit* LogWindow;
    QLabel* StBarPanels[4];

    // Navigator buttons: Prior, Next, Insert, Delete, Edit, Post, Cancel, Refresh.
    enum TNavigateButton
    {
        nbPrior,
        nbNext,
        nbInsert,
        nbDelete,
        nbEdit,
        nbPost,
        nbCancel,
        nbRefresh
    };
    QToolButton* NavigatorButton(TNavigateButton button) const { return m_navButtons[button]; }

public slots:
    void FormShow();
    void FormClose();
    void acPingHostsExecute();
    void doAfterPing(TPingThread* Sender);
    void acTimerStartExecute();
    void tmrSyncTimer();
    void tmrSyncEmailTimer();
    void acDeleteAllPingsExecute();
    void acExportHTMLExecute();
    void acLoadStextExecute();
    void acOpenDetailsExecute();
    void acOpenSettingsExecute();
    void acSendEmailExecute();
    void btnLogClearClick();
    void NavigatorClick(TNavigateButton button);

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void ApplyLanguage();
    void buildLayout();
    void buildNavigator();
    void setPanel(int panel, const QString& text);
    void appendLog(const QString& line);
    int currentHostRow() const;
    void stopAgent();
    void startAgent();
    THostsQuery* hosts() const;

    QToolButton* m_navButtons[8] = {};
    bool m_shown = false;
    bool m_closing = false;
    // Raised by every cycle start and agent stop: a cycle still creating workers gives up when it changes.
    quint64 m_cycle = 0;
    bool m_permissionShown = false;
    QString writeEmailReport();
    bool m_reportFolderLogged = false;
    QString m_keptIP; // the current host across a reload of the grid
};

extern TfMain* fMain;
