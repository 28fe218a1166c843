#include "app/uMain.h"

#include "app/uEmail.h"
#include "app/uError.h"
#include "app/uIcons.h"
#include "app/uMessageBox.h"
#include "app/uNotify.h"
#include "details/uDetails.h"
#include "i18n/uFormat.h"
#include "i18n/uLanguage.h"
#include "ping/PingThrd.h"
#include "settings/uSettings.h"
#include "settings/uUtils.h"
#include "store/uDM.h"
#include "store/uSqlText.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDesktopServices>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QHeaderView>
#include <QLabel>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSplitter>
#include <QStandardPaths>
#include <QStatusBar>
#include <QStyledItemDelegate>
#include <QTabWidget>
#include <QTableView>
#include <QToolButton>
#include <QUrl>
#include <QVBoxLayout>

#include <climits>
#include <cstdio>

TfMain* fMain = nullptr;

namespace {

constexpr int logLineLimit = 100000;

// Columns of the hosts grid, in table order.
enum THostColumn
{
    colIP,
    colAlias,
    colLastPingDate,
    colLastPingResponse,
    colTotalPings24,
    colSuccessPings24,
    colSuccessRate24,
    colTotalPingsWeek,
    colSuccessPingsWeek,
    colSuccessRateWeek,
    colTotalPingsMonth,
    colSuccessPingsMonth,
    colSuccessRateMonth,
    hostColumnCount
};

bool isRateColumn(int column)
{
    return column == colSuccessRate24 || column == colSuccessRateWeek || column == colSuccessRateMonth;
}

// The cell texts of the hosts grid: regional date-times, rates as "#,##0.00", figures right-aligned.
class THostsDelegate : public QStyledItemDelegate
{
public:
    using QStyledItemDelegate::QStyledItemDelegate;
    bool RateFormat = false;

protected:
    void initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const override
    {
        QStyledItemDelegate::initStyleOption(option, index);
        const QVariant value = index.data(Qt::EditRole);
        if (index.column() >= colLastPingResponse)
            option->displayAlignment = Qt::AlignRight | Qt::AlignVCenter;
        if (value.isNull()) {
            option->text.clear();
            return;
        }
        const QLocale locale = QLocale::system();
        if (index.column() == colLastPingDate)
            option->text = TDetailsQuery::DateTimeFieldText(value);
        else if (RateFormat && isRateColumn(index.column()))
            option->text = locale.toString(value.toDouble(), 'f', 2);
    }
};

void bindButton(QPushButton* button, QAction* action)
{
    const auto update = [button, action] {
        button->setText(action->text());
        button->setIcon(action->icon());
        button->setEnabled(action->isEnabled());
    };
    update();
    QObject::connect(action, &QAction::changed, button, update);
    QObject::connect(button, &QPushButton::clicked, action, &QAction::trigger);
}

// Every command and timer handler reports its errors in an error box and goes on.
template <typename F> void guarded(F&& body)
{
    try {
        body();
    } catch (const EMonitorError& e) {
        Notify::ShowError(e.Message());
    } catch (const std::exception& e) {
        Notify::ShowError(QString::fromLocal8Bit(e.what()));
    }
}

TfDM& dm()
{
    if (!fDM)
        throw EMonitorError(DatabaseNotOpenText());
    return *fDM;
}

int settingInt(const char* name)
{
    return dm().Settings().AsInteger(QString::fromLatin1(name));
}

} // namespace

TCommand::TCommand(QObject* parent, int imageIndex)
    : QAction(parent)
    , m_imageIndex(imageIndex)
{
    setIcon(MainImage(imageIndex));
}

void TCommand::SetImageIndex(int index)
{
    m_imageIndex = index;
    setIcon(MainImage(index));
}

TfMain::TfMain(QWidget* parent)
    : QMainWindow(parent)
{
    acPingHosts = new TCommand(this, 2);
    acOpenSettings = new TCommand(this, 4);
    acTimerStart = new TCommand(this, 0);
    acOpenDetails = new TCommand(this, -1);
    acLoadStext = new TCommand(this, -1);
    acExportHTML = new TCommand(this, 5);
    acDeleteAllPings = new TCommand(this, 3);
    acSendEmail = new TCommand(this, -1);
    connect(acPingHosts, &QAction::triggered, this, &TfMain::acPingHostsExecute);
    connect(acOpenSettings, &QAction::triggered, this, &TfMain::acOpenSettingsExecute);
    connect(acTimerStart, &QAction::triggered, this, &TfMain::acTimerStartExecute);
    connect(acOpenDetails, &QAction::triggered, this, &TfMain::acOpenDetailsExecute);
    connect(acLoadStext, &QAction::triggered, this, &TfMain::acLoadStextExecute);
    connect(acExportHTML, &QAction::triggered, this, &TfMain::acExportHTMLExecute);
    connect(acDeleteAllPings, &QAction::triggered, this, &TfMain::acDeleteAllPingsExecute);
    connect(acSendEmail, &QAction::triggered, this, &TfMain::acSendEmailExecute);

    tmrPingAll = new QTimer(this);
    tmrSync = new QTimer(this);
    tmrSyncEmail = new QTimer(this);
    for (QTimer* timer : { tmrPingAll, tmrSync, tmrSyncEmail })
        timer->setInterval(1000);
    connect(tmrPingAll, &QTimer::timeout, this, &TfMain::acPingHostsExecute);
    connect(tmrSync, &QTimer::timeout, this, &TfMain::tmrSyncTimer);
    connect(tmrSyncEmail, &QTimer::timeout, this, &TfMain::tmrSyncEmailTimer);

    ConfirmDeleteRecord = [this] {
        return QMessageBox::question(this, QApplication::applicationName(), tr("Delete record?"),
                                     QMessageBox::Ok | QMessageBox::Cancel, QMessageBox::Cancel)
            == QMessageBox::Ok;
    };
    AskSaveFileName
        = [this](const QString& filter) { return QFileDialog::getSaveFileName(this, QString(), QString(), filter); };
    OpenDocument = [](const QString& path) { QDesktopServices::openUrl(QUrl::fromLocalFile(path)); };

    buildLayout();
    SetErrorOverflowSink([this](const QString& message) { appendLog(message); });
}

TfMain::~TfMain()
{
    SetErrorOverflowSink(nullptr);
    if (fMain == this)
        fMain = nullptr;
}

void TfMain::buildLayout()
{
    setWindowTitle(QStringLiteral("Tarquel MONITOR 1.0"));
    QFont font(QStringLiteral("MS Sans Serif"));
    font.setPointSize(8);
    setFont(font);

    auto* central = new QWidget(this);
    auto* layout = new QVBoxLayout(central);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);

    spMain = new QSplitter(Qt::Vertical, central);
    spMain->setHandleWidth(1);
    spMain->setChildrenCollapsible(false);
    layout->addWidget(spMain);

    pInfo = new QWidget(spMain);
    pInfo->setMinimumHeight(40);
    const auto button = [this](QAction* action, int left, int top) {
        auto* b = new QPushButton(pInfo);
        b->setGeometry(left, top, 106, 25);
        b->setIconSize(QSize(16, 16));
        b->setStyleSheet(QStringLiteral("QPushButton { text-align: left; padding-left: 5px; }"));
        bindButton(b, action);
        return b;
    };
    btnStartAgent = button(acTimerStart, 8, 8);
    btnPingMannualy = button(acPingHosts, 119, 7);
    btnSettings = button(acOpenSettings, 8, 39);
    btnResetPings = button(acDeleteAllPings, 118, 38);
    btnHTMLExport = button(acExportHTML, 7, 69);
    sText = new QLabel(pInfo);
    sText->setGeometry(235, 8, 538, 85);
    sText->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    sText->setWordWrap(true);
    // Anchored to all four sides: keeps its margins as the panel grows and shrinks.
    pInfo->installEventFilter(this);
    spMain->addWidget(pInfo);

    auto* pSubMain = new QWidget(spMain);
    auto* subLayout = new QVBoxLayout(pSubMain);
    subLayout->setContentsMargins(0, 0, 0, 0);
    pcSubMain = new QTabWidget(pSubMain);
    subLayout->addWidget(pcSubMain);
    spMain->addWidget(pSubMain);
    spMain->setStretchFactor(0, 0);
    spMain->setStretchFactor(1, 1);
    spMain->setSizes({ 101, 504 - 101 - 1 - 19 });

    tsHosts = new QWidget;
    auto* hostsLayout = new QVBoxLayout(tsHosts);
    hostsLayout->setContentsMargins(0, 0, 0, 0);
    hostsLayout->setSpacing(0);
    buildNavigator();
    hostsLayout->addWidget(DBNavigator1);
    DBGHosts = new QTableView(tsHosts);
    DBGHosts->setSelectionBehavior(QAbstractItemView::SelectRows);
    DBGHosts->setSelectionMode(QAbstractItemView::SingleSelection);
    DBGHosts->setEditTriggers(QAbstractItemView::EditKeyPressed | QAbstractItemView::AnyKeyPressed
                              | QAbstractItemView::SelectedClicked);
    DBGHosts->setItemDelegate(new THostsDelegate(DBGHosts));
    DBGHosts->verticalHeader()->setDefaultSectionSize(18);
    connect(DBGHosts, &QTableView::doubleClicked, acOpenDetails, &QAction::trigger);
    hostsLayout->addWidget(DBGHosts);
    pcSubMain->addTab(tsHosts, QString());

    tsThreadOutput = new QWidget;
    auto* logLayout = new QVBoxLayout(tsThreadOutput);
    logLayout->setContentsMargins(0, 0, 0, 0);
    logLayout->setSpacing(0);
    auto* pThOutputButtons = new QWidget(tsThreadOutput);
    pThOutputButtons->setFixedHeight(25);
    btnLogClear = new QPushButton(pThOutputButtons);
    btnLogClear->setGeometry(2, 0, 106, 25);
    btnLogClear->setIcon(MainImage(6));
    btnLogClear->setStyleSheet(QStringLiteral("QPushButton { text-align: left; padding-left: 5px; }"));
    connect(btnLogClear, &QPushButton::clicked, this, &TfMain::btnLogClearClick);
    logLayout->addWidget(pThOutputButtons);
    LogWindow = new QPlainTextEdit(tsThreadOutput);
    QFont logFont(QStringLiteral("Courier New"));
    logFont.setStyleHint(QFont::TypeWriter);
    logFont.setFixedPitch(true);
    logFont.setPointSize(9);
    LogWindow->setFont(logFont);
    LogWindow->setLineWrapMode(QPlainTextEdit::NoWrap);
    LogWindow->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    LogWindow->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    // An unattended agent must not grow the log without bound: the oldest lines go.
    LogWindow->setMaximumBlockCount(logLineLimit);
    logLayout->addWidget(LogWindow);
    pcSubMain->addTab(tsThreadOutput, QString());
    pcSubMain->setCurrentIndex(0);

    setCentralWidget(central);

    QStatusBar* bar = statusBar();
    bar->setFixedHeight(19);
    bar->setSizeGripEnabled(true);
    const int widths[] = { 120, 120, 240, 0 };
    for (int i = 0; i < 4; ++i) {
        StBarPanels[i] = new QLabel(bar);
        StBarPanels[i]->setFrameShape(QFrame::StyledPanel);
        StBarPanels[i]->setFrameShadow(QFrame::Sunken);
        if (widths[i] > 0)
            StBarPanels[i]->setFixedWidth(widths[i]);
        bar->addWidget(StBarPanels[i], widths[i] > 0 ? 0 : 1);
    }

    setTabOrder(btnStartAgent, btnPingMannualy);
    setTabOrder(btnPingMannualy, btnSettings);
    setTabOrder(btnSettings, btnResetPings);
    setTabOrder(btnResetPings, btnHTMLExport);

    resize(779, 504);
    move(101, 104);
}

void TfMain::buildNavigator()
{
    DBNavigator1 = new QWidget(tsHosts);
    DBNavigator1->setFixedHeight(25);
    auto* layout = new QHBoxLayout(DBNavigator1);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    struct TNavSpec
    {
        const char* glyph;
        const char* hint;
    };
    // Hints in the toolkit's language, like the navigator's own confirmation.
    const TNavSpec specs[8] = {
        { "\u25B2", "Prior" }, { "\u25BC", "Next" }, { "+", "Insert" },      { "\u2212", "Delete" },
        { "\u270E", "Edit" },  { "\u2714", "Post" }, { "\u2716", "Cancel" }, { "\u27F3", "Refresh" },
    };
    for (int i = 0; i < 8; ++i) {
        auto* b = new QToolButton(DBNavigator1);
        b->setAutoRaise(true);
        b->setFixedSize(30, 25);
        // Clicking takes the focus, so an open cell editor commits before the button acts.
        b->setFocusPolicy(Qt::ClickFocus);
        b->setText(QString::fromUtf8(specs[i].glyph));
        b->setToolTip(tr(specs[i].hint));
        connect(b, &QToolButton::clicked, this, [this, i] { NavigatorClick(TNavigateButton(i)); });
        layout->addWidget(b);
        m_navButtons[i] = b;
    }
    layout->addStretch(1);
}

bool TfMain::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == pInfo && event->type() == QEvent::Resize)
        sText->setGeometry(235, 8, qMax(0, pInfo->width() - 235 - 6), qMax(0, pInfo->height() - 8 - 8));
    return QMainWindow::eventFilter(watched, event);
}

void TfMain::BindData()
{
    if (!fDM)
        return;
    THostsQuery* model = fDM->qryHosts;
    DBGHosts->setModel(model);
    // A reload resets the model; the current host stays current.
    connect(model, &QAbstractItemModel::modelAboutToBeReset, this, [this, model] {
        const int row = currentHostRow();
        m_keptIP = row >= 0 ? model->data(model->index(row, colIP), Qt::EditRole).toString() : QString();
    });
    connect(model, &QAbstractItemModel::modelReset, this, [this, model] {
        const int row = m_keptIP.isEmpty() ? -1 : model->RowOfIP(m_keptIP);
        if (row >= 0)
            DBGHosts->setCurrentIndex(model->index(row, colAlias));
    });
    // Leaving a row that is being edited posts it, as a data-bound grid does; a refused post keeps it current.
    connect(DBGHosts->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            [this, model](const QModelIndex& current, const QModelIndex&) {
                if (model->State() != TDataSetState::Edit && model->State() != TDataSetState::Insert)
                    return;
                if (current.isValid() && current.row() == model->EditRow())
                    return;
                const int editRow = model->EditRow();
                if (!model->Post() && editRow >= 0 && editRow < model->rowCount())
                    QMetaObject::invokeMethod(
                        this, [this, model, editRow] { DBGHosts->setCurrentIndex(model->index(editRow, colIP)); },
                        Qt::QueuedConnection);
            });
}

THostsQuery* TfMain::hosts() const
{
    THostsQuery* model = dm().qryHosts;
    if (model->State() == TDataSetState::Inactive)
        throw EMonitorError(DatabaseNotOpenText());
    return model;
}

int TfMain::currentHostRow() const
{
    const QModelIndex index = DBGHosts->currentIndex();
    return index.isValid() ? index.row() : -1;
}

void TfMain::NavigatorClick(TNavigateButton button)
{
    guarded([&] {
        THostsQuery* model = hosts();
        const int row = currentHostRow();
        switch (button) {
        case nbPrior:
        case nbNext: {
            const int target = button == nbPrior ? row - 1 : row + 1;
            if (target >= 0 && target < model->rowCount())
                DBGHosts->setCurrentIndex(model->index(target, qMax(0, DBGHosts->currentIndex().column())));
            break;
        }
        case nbInsert: {
            const int newRow = model->Insert();
            if (newRow >= 0) {
                const QModelIndex index = model->index(newRow, colIP);
                DBGHosts->setCurrentIndex(index);
                DBGHosts->edit(index);
            }
            break;
        }
        case nbDelete:
            if (row >= 0 && ConfirmDeleteRecord && ConfirmDeleteRecord())
                model->Delete(row);
            break;
        case nbEdit:
            if (row >= 0 && model->Edit(row)) {
                const QModelIndex index = model->index(row, colAlias);
                DBGHosts->setCurrentIndex(index);
                DBGHosts->edit(index);
            }
            break;
        case nbPost:
            // Taking the focus from an open cell editor commits what the operator typed last.
            DBGHosts->setFocus();
            model->Post();
            break;
        case nbCancel:
            model->Cancel();
            break;
        case nbRefresh:
            model->Refresh();
            break;
        }
    });
}

QString TfMain::PanelText(int panel) const
{
    return panel >= 0 && panel < 4 ? StBarPanels[panel]->text() : QString();
}

void TfMain::setPanel(int panel, const QString& text)
{
    StBarPanels[panel]->setText(text);
}

void TfMain::appendLog(const QString& line)
{
    LogWindow->appendPlainText(line);
}

bool TfMain::Terminating() const
{
    return m_closing || QCoreApplication::closingDown();
}

void TfMain::showEvent(QShowEvent* event)
{
    QMainWindow::showEvent(event);
    if (!m_shown) {
        m_shown = true;
        FormShow();
    }
}

void TfMain::closeEvent(QCloseEvent* event)
{
    FormClose();
    QMainWindow::closeEvent(event);
}

void TfMain::FormShow()
{
    guarded([&] { ApplyLanguage(); });
    guarded([&] {
        if (dm().Settings().AsBoolean(QStringLiteral("AutoStartAgent")))
            acTimerStart->Execute();
    });
    acLoadStext->Execute();
    static_cast<THostsDelegate*>(DBGHosts->itemDelegate())->RateFormat = true;
    DBGHosts->viewport()->update();
}

void TfMain::ApplyLanguage()
{
    LogWindow->clear();
    acPingHosts->setText(txtPingButton);
    pcSubMain->setTabText(0, txtHostsTab);
    pcSubMain->setTabText(1, txtLogTab);
    acOpenSettings->setText(txtSettingsButton);
    btnLogClear->setText(txtClearButton);
    acExportHTML->setText(txtExportHtmlButton);
    acDeleteAllPings->setText(txtDeleteAllPingsButton);
    acTimerStart->setText(acTimerStart->ImageIndex() == 1 ? txtStopButton : txtStart);

    acLoadStextExecute();

    const QStringList titles = HostColumnTitles();
    const int widths[hostColumnCount] = { 75, 120, 120, 100, 130, 130, 130, 130, 130, 130, 130, 130, 130 };
    QAbstractItemModel* model = DBGHosts->model();
    for (int c = 0; c < hostColumnCount; ++c) {
        if (model && c < model->columnCount()) {
            model->setHeaderData(c, Qt::Horizontal, titles.at(c), Qt::DisplayRole);
            if (c >= colLastPingResponse)
                model->setHeaderData(c, Qt::Horizontal, int(Qt::AlignRight | Qt::AlignVCenter), Qt::TextAlignmentRole);
        }
        DBGHosts->setColumnWidth(c, widths[c]);
    }
}

bool TfMain::CheckSettings(bool CheckPing, bool CheckEmail)
{
    Q_UNUSED(CheckEmail);
    bool result = true;
    if (CheckPing)
        result = settingInt("PingTimeout") > 0 && settingInt("PingPacketSize") > 0 && settingInt("PingAttemts") > 0
            && settingInt("PingInterval") > 0;
    return result;
}

// ---------------------------------------------------------------------------------------------------------------
// Ping cycle

void TfMain::acPingHostsExecute()
{
    guarded([&] {
        dm();
        if (!CheckSettings(true, false)) {
            Notify::ShowError(txtSettingsIncomplete);
            return;
        }
        ThreadNum = 0;
        const quint64 cycle = ++m_cycle;
        StopPingThreads();
        ClearPingThreadHandles();
        // The list may be reloaded by what runs in the event passes below: this cycle pings the hosts it started with.
        const QStringList hostsList = fDM->HostsList;
        for (int i = 0; i < hostsList.size(); ++i) {
            const int attempts = settingInt("PingAttemts");
            for (int a = 0; a < attempts; ++a) {
                auto* worker = new TPingThread(true);
                worker->PingThreadNum = RegisterPingThread(worker->ThreadID, worker->Handle);
                worker->FreeOnTerminate = true;
                worker->PingId = ThreadNum + 1;
                worker->OnAfterPing = [this](TPingThread* sender) { doAfterPing(sender); };
                worker->PingHostName = hostsList.at(i);
                worker->PingTimeout = settingInt("PingTimeout");
                worker->PingSize = settingInt("PingPacketSize");
                worker->PingLookupReply = false;
                ++ThreadNum;
                worker->PingThreadNum = ThreadNum;
                setPanel(0, ThreadNum > 0 ? txtRunning : txtReady);
                setPanel(1, txtThreads + QString::number(ThreadNum));
                QCoreApplication::processEvents();
                // A new cycle, a stop or the closing ran meanwhile and ended the workers made so far.
                if (cycle != m_cycle || Terminating())
                    return;
            }
        }
        ResumePingThreads();
    });
}

void TfMain::doAfterPing(TPingThread* Sender)
{
    // No event pass here: the running loop delivers the next result after this one returns, while a pass from
    // inside would nest every queued result in this one until the stack runs out.
    if (Terminating())
        return;
    guarded([&] {
        const quint64 cycle = m_cycle;
        --ThreadNum;
        setPanel(1, txtThreads + QString::number(ThreadNum));
        TPingThread* w = Sender;
        if (!w->ProbeError.isEmpty()) {
            // The probe itself failed: not the host's fault, so nothing is stored.
            appendLog(FormatEntry(txtLogFailure, { w->PingId, w->PingHostName, w->ProbeError }));
            if (w->ProbeNoPermission && !m_permissionShown) {
                m_permissionShown = true;
                Notify::ShowError(txtIcmpPermission);
            }
        } else {
            if (w->ReplyDataSize != 0)
                appendLog(FormatEntry(
                    txtLogReply,
                    { w->PingId, w->PingHostName, int(w->ReplyDataSize), w->ReplyIPAddr, qint64(w->ReplyRTT) }));
            else
                appendLog(FormatEntry(txtLogFailure, { w->PingId, w->PingHostName, w->ErrString }));
            dm().InsertDetails(w->PingHostName, w->PingSize, w->PingTimeout, w->PingTTL, QString::number(w->PingId),
                               QString::number(ThreadNum), w->ReplyIPAddr, int(w->ReplyStatus), double(w->ReplyRTT),
                               double(w->ReplyDataSize), w->ReplyTotal, w->ErrCode, w->ErrString);
            fDM->qryHosts->RefreshHost(w->PingHostName);
        }
        // An error box above may have run a new cycle; its count is not this one's.
        if (ThreadNum == 0 && cycle == m_cycle) {
            setPanel(0, txtReady);
            setPanel(2, txtNextRunAt + DateTimeText(GetNextSyncTime(Now(), settingInt("PingInterval") / 86400.0)));
        }
    });
}

void TfMain::FormClose()
{
    m_closing = true;
    ++m_cycle;
    tmrSync->stop();
    tmrSyncEmail->stop();
    tmrPingAll->stop();
    try {
        StopPingThreads();
    } catch (const EMonitorError&) {
        // Closing is neither prevented nor delayed.
    }
}

// ---------------------------------------------------------------------------------------------------------------
// Agent

void TfMain::acTimerStartExecute()
{
    guarded([&] {
        const bool running = ThreadNum > 0 || tmrPingAll->isActive() || tmrSync->isActive();
        // Stopping always works; only a start needs complete settings.
        if (running) {
            stopAgent();
            return;
        }
        if (!CheckSettings(true, false)) {
            Notify::ShowError(txtSettingsIncomplete);
            return;
        }
        startAgent();
    });
}

void TfMain::stopAgent()
{
    tmrSync->stop();
    tmrSyncEmail->stop();
    tmrPingAll->stop();
    ++m_cycle;
    StopPingThreads();
    // The stopped workers never report: a count left above 0 would refuse the settings for good.
    ThreadNum = 0;
    acTimerStart->SetImageIndex(0);
    acTimerStart->setText(txtStart);
}

void TfMain::startAgent()
{
    acTimerStart->SetImageIndex(1);
    acTimerStart->setText(txtStopButton);
    fDM->NextRunAt = GetNextSyncTime(Now(), settingInt("PingInterval") / 86400.0);
    tmrSync->setInterval(1000);
    tmrSync->start();
    tmrSyncEmail->setInterval(1000);
    tmrSyncEmail->start();
}

void TfMain::tmrSyncTimer()
{
    guarded([&] {
        setPanel(0, ThreadNum > 0 ? txtRunning : txtReady);
        setPanel(1, txtThreads + QString::number(ThreadNum));
        const int interval = settingInt("PingInterval");
        setPanel(2, txtNextRunAt + DateTimeText(GetNextSyncTime(Now(), interval / 86400.0)));
        if (Now() < dm().NextRunAt)
            return;
        tmrSync->stop();
        if (interval <= 0) {
            Notify::ShowError(txtInvalidPingInterval);
            return;
        }
        tmrPingAll->setInterval(int(qMin<qint64>(qint64(interval) * 1000, INT_MAX)));
        tmrPingAll->start();
        acPingHosts->Execute();
    });
}

void TfMain::tmrSyncEmailTimer()
{
    guarded([&] {
        setPanel(3, txtNextEmailAt + QLatin1Char(' ') + DateTimeText(dm().NextEmailAt));
        if (Now() < fDM->NextEmailAt || ThreadNum > 0)
            return;
        tmrSyncEmail->stop();
        acSendEmail->Execute();
        int seconds = settingInt("SendEmailinterval");
        // An interval of 0 or below would send at every tick: it stands for the list's first item.
        if (seconds <= 0)
            seconds = EmailIntervalSecondsOf(0);
        fDM->NextEmailAt = GetNextSyncTime(Now(), seconds / 86400.0);
        tmrSyncEmail->start();
    });
}

// ---------------------------------------------------------------------------------------------------------------
// Other commands

void TfMain::acDeleteAllPingsExecute()
{
    guarded([&] {
        TfDM& data = dm();
        if (!Notify::Confirm(txtConfirmDeleteAllPings))
            return;
        // One transaction: the figures never outlive the pings they were computed from.
        ExecSQL(data.SQLConnection, QStringLiteral("BEGIN"));
        try {
            ExecSQL(data.SQLConnection, QStringLiteral("DELETE FROM Details"));
            ExecSQL(
                data.SQLConnection,
                QStringLiteral("UPDATE Hosts SET LastPingDate = NULL,LastPingResponse = NULL,TotalPings24 = 0,"
                               "SuccessPings24 = 0,SuccessRate24 = 0,TotalPingsWeek = 0,SuccessPingsWeek = 0,"
                               "SuccessRateWeek = 0,TotalPingsMonth = 0,SuccessPingsMonth = 0,SuccessRateMonth = 0"));
            ExecSQL(data.SQLConnection, QStringLiteral("COMMIT"));
        } catch (const EMonitorError&) {
            try {
                ExecSQL(data.SQLConnection, QStringLiteral("ROLLBACK"));
            } catch (const EMonitorError&) {
            }
            throw;
        }
        data.qryHosts->Refresh();
    });
}

void TfMain::acExportHTMLExecute()
{
    guarded([&] {
        TfDM& data = dm();
        QString filter = txtHtmlFileFilter;
        const qsizetype bar = filter.indexOf(QLatin1Char('|'));
        if (bar >= 0)
            filter = filter.left(bar) + QStringLiteral(" (") + filter.mid(bar + 1) + QLatin1Char(')');
        QString name = AskSaveFileName(filter);
        if (name.isEmpty())
            return;
        const qsizetype slash = name.lastIndexOf(QLatin1Char('/'));
        const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
        if (dot > slash)
            name.truncate(dot);
        name += QStringLiteral(".html");
        if (!data.GenerateReport(name)) {
            Notify::ShowError(txtReportFailed);
            return;
        }
        if (Notify::Confirm(txtReportGeneratedOpen))
            OpenDocument(name);
    });
}

void TfMain::acLoadStextExecute()
{
    guarded([&] {
        TSettingsQuery& settings = dm().Settings();
        const QString pingPhrase = PingIntervalPhrase(settings.AsInteger(QStringLiteral("PingInterval")));
        const QString emailPhrase = EmailIntervalPhrase(settings.AsInteger(QStringLiteral("SendEmailinterval")));
        QString text = FormatEntry(txtAgentSummary,
                                   { settings.AsInteger(QStringLiteral("PingAttemts")), pingPhrase,
                                     settings.AsInteger(QStringLiteral("PingTimeout")),
                                     settings.AsInteger(QStringLiteral("PingPacketSize")) });
        const QString user = settings.AsString(QStringLiteral("User"));
        if (!user.isEmpty())
            text += QStringLiteral("\r\n") + FormatEntry(txtEmailSummary, { user, emailPhrase });
        sText->setText(text);
    });
}

void TfMain::acOpenDetailsExecute()
{
    guarded([&] {
        THostsQuery* model = hosts();
        const int row = currentHostRow();
        const QString ip = row >= 0 ? model->data(model->index(row, colIP), Qt::EditRole).toString() : QString();
        const QString sql = QStringLiteral("SELECT * FROM Details WHERE Details.Host = ") + QuotedStr(ip);
        // Released and followed by the refresh however the window ends.
        struct TRefreshAfter
        {
            THostsQuery* model;
            ~TRefreshAfter() { model->Refresh(); }
        } refresh{ model };
        TfDetails details(this, sql, ip);
        details.exec();
    });
}

void TfMain::acOpenSettingsExecute()
{
    guarded([&] {
        dm();
        if (ThreadNum > 0 || tmrPingAll->isActive()) {
            Notify::ShowInformation(txtStopAgentFirst);
            return;
        }
        struct TSummaryAfter
        {
            TCommand* command;
            ~TSummaryAfter() { command->Execute(); }
        } summary{ acLoadStext };
        TfSettings settings(this);
        settings.exec();
    });
}

// The report goes beside the executable; where that folder cannot be written (an installed program), into the
// user's application data folder. It is written to a temporary name and renamed into place, so a planted link
// is replaced, not followed.
QString TfMain::writeEmailReport()
{
    const QFileInfo exe(QCoreApplication::applicationFilePath());
    const QString fileName = exe.completeBaseName() + QStringLiteral(".html");
    QStringList folders = { exe.absolutePath() };
    const QString dataFolder = QStandardPaths::writableLocation(QStandardPaths::AppLocalDataLocation);
    if (!dataFolder.isEmpty())
        folders << dataFolder;
    for (int i = 0; i < folders.size(); ++i) {
        const QString folder = folders.at(i);
        if (i > 0 && !QDir().mkpath(folder))
            continue;
        const QString target = QDir(folder).filePath(fileName);
        const QString temporary = target + QStringLiteral(".tmp%1").arg(QCoreApplication::applicationPid());
        if (!QFileInfo(folder).isWritable())
            continue;
        if (!dm().GenerateReport(temporary)) {
            QFile::remove(temporary);
            return QString();
        }
        if (std::rename(QFile::encodeName(temporary).constData(), QFile::encodeName(target).constData()) != 0) {
            QFile::remove(temporary);
            continue;
        }
        if (i > 0 && !m_reportFolderLogged) {
            m_reportFolderLogged = true;
            appendLog(QStringLiteral("The folder of the program cannot be written; the e-mail report is written to ")
                      + target);
        }
        return target;
    }
    return QString();
}

void TfMain::acSendEmailExecute()
{
    // Every outcome but success leaves exactly one line in the log; nothing is shown in a box.
    try {
        TSettingsQuery& settings = dm().Settings();
        TEmailSettings mail;
        mail.ServerAdd = settings.AsString(QStringLiteral("ServerAdd"));
        mail.ServerPort = quint16(settings.AsInteger(QStringLiteral("ServerPort")) & 0xFFFF);
        mail.User = settings.AsString(QStringLiteral("User"));
        mail.Password = settings.AsString(QStringLiteral("Password"));
        mail.Proxy = settings.AsString(QStringLiteral("Proxy"));
        mail.ProxyPort = quint16(settings.AsInteger(QStringLiteral("ProxyPort")) & 0xFFFF);
        mail.ProxyUser = settings.AsString(QStringLiteral("ProxyUser"));
        mail.ProxyPass = settings.AsString(QStringLiteral("ProxyPass"));
        mail.EmailRecipients = settings.AsString(QStringLiteral("EmailRecipients"));
        const QString report = writeEmailReport();
        if (report.isEmpty()) {
            appendLog(txtReportFailed);
            return;
        }
        const QString line = SendReportEmail(mail, txtReportTitle, report, EmailTimeoutMs);
        if (!line.isEmpty())
            appendLog(line);
    } catch (const EMonitorError& e) {
        appendLog(e.Message());
    } catch (const std::exception& e) {
        appendLog(QString::fromLocal8Bit(e.what()));
    }
}

void TfMain::btnLogClearClick()
{
    LogWindow->clear();
}
