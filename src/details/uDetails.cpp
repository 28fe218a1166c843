#include "details/uDetails.h"

#include "app/uError.h"
#include "app/uNotify.h"
#include "i18n/uLanguage.h"
#include "settings/uUtils.h"
#include "store/uDM.h"
#include "store/uSqlText.h"

#include <QAbstractTableModel>
#include <QAction>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QPushButton>
#include <QSqlRecord>
#include <QTableView>
#include <QVBoxLayout>

namespace {

// The three columns of the details query that the grid shows, as their default texts, read-only.
class TDetailsGrid : public QAbstractTableModel
{
public:
    TDetailsGrid(TDetailsQuery* source, QObject* parent)
        : QAbstractTableModel(parent)
        , m_source(source)
    {
        connect(source, &QAbstractItemModel::modelAboutToBeReset, this, [this] { beginResetModel(); });
        connect(source, &QAbstractItemModel::modelReset, this, [this] {
            lookUpColumns();
            endResetModel();
        });
        // The query model fetches its rows in chunks as the grid scrolls.
        connect(source, &QAbstractItemModel::rowsAboutToBeInserted, this,
                [this](const QModelIndex&, int first, int last) { beginInsertRows(QModelIndex(), first, last); });
        connect(source, &QAbstractItemModel::rowsInserted, this, [this] { endInsertRows(); });
        connect(source, &QAbstractItemModel::rowsAboutToBeRemoved, this,
                [this](const QModelIndex&, int first, int last) { beginRemoveRows(QModelIndex(), first, last); });
        connect(source, &QAbstractItemModel::rowsRemoved, this, [this] { endRemoveRows(); });
        lookUpColumns();
    }

    int rowCount(const QModelIndex& parent = QModelIndex()) const override
    {
        return parent.isValid() ? 0 : m_source->rowCount();
    }
    int columnCount(const QModelIndex& parent = QModelIndex()) const override { return parent.isValid() ? 0 : 3; }
    Qt::ItemFlags flags(const QModelIndex& index) const override
    {
        return index.isValid() ? Qt::ItemIsEnabled | Qt::ItemIsSelectable : Qt::NoItemFlags;
    }
    bool canFetchMore(const QModelIndex& parent) const override
    {
        return !parent.isValid() && m_source->canFetchMore();
    }
    void fetchMore(const QModelIndex& parent) override
    {
        if (!parent.isValid())
            m_source->fetchMore();
    }

    QVariant data(const QModelIndex& index, int role) const override
    {
        if (!index.isValid() || m_columns[index.column()] < 0)
            return QVariant();
        if (role == Qt::TextAlignmentRole)
            return index.column() == 1 ? QVariant(Qt::AlignRight | Qt::AlignVCenter) : QVariant();
        if (role != Qt::DisplayRole)
            return QVariant();
        const QVariant value = m_source->data(m_source->index(index.row(), m_columns[index.column()]));
        switch (index.column()) {
        case 0:
            return TDetailsQuery::DateTimeFieldText(value);
        case 1:
            return TDetailsQuery::NumberFieldText(value);
        default:
            return value.toString();
        }
    }

    QVariant headerData(int section, Qt::Orientation orientation, int role) const override
    {
        if (orientation != Qt::Horizontal || role != Qt::DisplayRole || section < 0 || section > 2)
            return QAbstractTableModel::headerData(section, orientation, role);
        const QString* titles[] = { &txtColPingDatetime, &txtColReplyRTT, &txtColErrMsg };
        return *titles[section];
    }

private:
    void lookUpColumns()
    {
        const QSqlRecord fields = m_source->record();
        const char* names[] = { "PingDatetime", "ReplyRTT", "ErrMsg" };
        for (int i = 0; i < 3; ++i)
            m_columns[i] = fields.indexOf(QLatin1String(names[i]));
    }

    TDetailsQuery* m_source;
    int m_columns[3] = { -1, -1, -1 };
};

} // namespace

TfDetails::TfDetails(QWidget* AOwner, const QString& SQL, const QString& Host)
    : QDialog(AOwner)
    , FHostName(Host)
    , FSQL(SQL)
{
    if (!fDM)
        throw EMonitorError(DatabaseNotOpenText());
    createControls();
    try {
        reopen();
    } catch (const EMonitorError& e) {
        Notify::ShowError(e.Message());
    }
    setWindowTitle(txtDetailsCaption + FHostName);
    btnDeleteALL->setText(txtDeleteAll);
    btnOk->setText(txtOk);
    btnRefresh->setText(txtRefresh);
}

TfDetails::~TfDetails()
{
    FormDestroy();
}

void TfDetails::createControls()
{
    setObjectName(QStringLiteral("fDetails"));
    setFont(QFont(QStringLiteral("Tahoma"), 8));
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
    setWindowFlag(Qt::WindowMaximizeButtonHint, true);
    setSizeGripEnabled(true);
    resize(789, 410);

    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    pMain = new QWidget(this);
    pMain->setObjectName(QStringLiteral("pMain"));
    outer->addWidget(pMain);
    auto* column = new QVBoxLayout(pMain);
    column->setContentsMargins(0, 0, 0, 6);
    column->setSpacing(6);

    pGridHolder = new QWidget(pMain);
    pGridHolder->setObjectName(QStringLiteral("pGridHolder"));
    auto* holder = new QVBoxLayout(pGridHolder);
    holder->setContentsMargins(0, 0, 0, 0);
    dbgDetails = new QTableView(pGridHolder);
    dbgDetails->setObjectName(QStringLiteral("dbgDetails"));
    holder->addWidget(dbgDetails);
    column->addWidget(pGridHolder, 1);

    const auto button = [this](const char* name) {
        auto* b = new QPushButton(pMain);
        b->setObjectName(QLatin1String(name));
        b->setFixedSize(75, 25);
        // Enter never runs a button that has merely had the focus; only Ok is the default.
        b->setAutoDefault(false);
        return b;
    };
    btnDeleteALL = button("btnDeleteALL");
    btnRefresh = button("btnRefresh");
    btnOk = button("btnOk");
    btnOk->setDefault(true);
    auto* buttons = new QHBoxLayout;
    buttons->setContentsMargins(6, 0, 6, 0);
    buttons->addWidget(btnDeleteALL);
    buttons->addWidget(btnRefresh);
    buttons->addStretch(1);
    buttons->addWidget(btnOk);
    column->addLayout(buttons);

    acRefresh = new QAction(this);
    acRefresh->setObjectName(QStringLiteral("acRefresh"));
    acDeleteALL = new QAction(this);
    acDeleteALL->setObjectName(QStringLiteral("acDeleteALL"));
    connect(acRefresh, &QAction::triggered, this, &TfDetails::acRefreshExecute);
    connect(acDeleteALL, &QAction::triggered, this, &TfDetails::acDeleteALLExecute);
    connect(btnRefresh, &QPushButton::clicked, acRefresh, &QAction::trigger);
    connect(btnDeleteALL, &QPushButton::clicked, acDeleteALL, &QAction::trigger);
    connect(btnOk, &QPushButton::clicked, this, &QDialog::accept);

    dbgDetails->setModel(new TDetailsGrid(fDM->qryDetails, dbgDetails));
    dbgDetails->setEditTriggers(QAbstractItemView::NoEditTriggers);
    dbgDetails->setSelectionBehavior(QAbstractItemView::SelectRows);
    dbgDetails->verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 6);
    dbgDetails->horizontalHeader()->setStretchLastSection(false);
    // The date-time column as wide as its longest regional text.
    const QString sample = DateTimeText(DateTimeFromQt(QDateTime(QDate(2000, 12, 28), QTime(23, 58, 58))));
    dbgDetails->setColumnWidth(0, dbgDetails->fontMetrics().horizontalAdvance(sample) + 16);
    dbgDetails->setColumnWidth(1, 150);
    dbgDetails->setColumnWidth(2, 300);

    // The focus starts in the grid, never on Delete all.
    setTabOrder(dbgDetails, btnDeleteALL);
    setTabOrder(btnDeleteALL, btnRefresh);
    setTabOrder(btnRefresh, btnOk);
    dbgDetails->setFocus();
}

void TfDetails::reopen()
{
    TDetailsQuery* query = fDM->qryDetails;
    query->Close();
    query->SQL = FSQL;
    query->Open();
}

void TfDetails::acRefreshExecute()
{
    try {
        reopen();
    } catch (const EMonitorError& e) {
        Notify::ShowError(e.Message());
    }
}

void TfDetails::acDeleteALLExecute()
{
    // The host's whole history goes: ask first.
    if (!Notify::Confirm(txtConfirmDeleteAllPings))
        return;
    TDetailsQuery* query = fDM->qryDetails;
    try {
        query->Close();
        query->SQL = QStringLiteral("DELETE FROM Details WHERE Details.Host = ") + QuotedStr(FHostName);
        query->ExecSQL();
    } catch (const EMonitorError& e) {
        Notify::ShowError(e.Message());
    }
    // Also after a failure: the statement text goes back to the host's SELECT and the grid shows what is left.
    acRefreshExecute();
}

void TfDetails::FormDestroy()
{
    if (fDM && fDM->qryDetails && fDM->qryDetails->Active())
        fDM->qryDetails->Close();
}
