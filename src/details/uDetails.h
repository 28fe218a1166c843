#pragma once

#include <QDialog>

class QAction;
class QPushButton;
class QTableView;
class QWidget;

// The stored pings of one host, over the data module's shared details query. Create one per use and exec() it:
//     TfDetails details(owner, "SELECT * FROM Details WHERE Details.Host = " + QuotedStr(ip), ip);
//     details.exec();
class TfDetails : public QDialog
{
    Q_OBJECT

public:
    TfDetails(QWidget* AOwner, const QString& SQL, const QString& Host);
    ~TfDetails() override;

    QString FHostName;
    QString FSQL;

    QWidget* pMain = nullptr;
    QWidget* pGridHolder = nullptr;
    QTableView* dbgDetails = nullptr;
    QPushButton* btnDeleteALL = nullptr;
    QPushButton* btnRefresh = nullptr;
    QPushButton* btnOk = nullptr;
    QAction* acRefresh = nullptr;
    QAction* acDeleteALL = nullptr;

public slots:
    void acRefreshExecute();
    void acDeleteALLExecute();

private:
    void createControls();
    // Closes, re-opens and shows the host's rows; raises EMonitorError with the database's message.
    void reopen();
    void FormDestroy();
};
