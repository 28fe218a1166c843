#pragma once

#include "settings/uUtils.h"

#include <QDialog>

class QAction;
class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;

// The settings dialog: edits the data module's settings row in place. Create one per use and exec() it; closing
// it without a successful save (Cancel, Esc, the frame's close box) discards the pending edit and the schedule
// times picked meanwhile. Raises EMonitorError from the constructor when the settings row is not open.
class TfSettings : public QDialog
{
    Q_OBJECT

public:
    explicit TfSettings(QWidget* AOwner = nullptr);
    ~TfSettings() override;

    // True after a successful save, false after a failed one.
    bool pblSuccesfulSave = false;

    QAction* acSave = nullptr;
    QAction* acApply = nullptr;
    QAction* acCancel = nullptr;

    QLabel* lbCommon = nullptr;
    QLabel* Label1 = nullptr;
    QLabel* Label2 = nullptr;
    QLabel* lbAutoStartAgent = nullptr;
    QLabel* lbLanguage = nullptr;
    QLabel* lbTimeout = nullptr;
    QLabel* lbPacketSize = nullptr;
    QLabel* lbPingInterval = nullptr;
    QLabel* lbNextRun = nullptr;
    QLabel* lbAttempts = nullptr;
    QLabel* Label3 = nullptr;
    QLabel* lbEmailStartAt = nullptr;
    QLabel* lbServer = nullptr;
    QLabel* lbPort = nullptr;
    QLabel* lbUser = nullptr;
    QLabel* lbPassword = nullptr;
    QLabel* lbProxy = nullptr;
    QLabel* lbProxyPort = nullptr;
    QLabel* lbProxyUser = nullptr;
    QLabel* lbProxyPassword = nullptr;
    QLabel* Label4 = nullptr;

    QCheckBox* dbcAutoStartAgent = nullptr;
    QComboBox* cbLanguage = nullptr;
    QLineEdit* dbeTimeout = nullptr;
    QLineEdit* dbePacketSize = nullptr;
    QComboBox* cbPingInterval = nullptr;
    QLineEdit* edNextRunAt = nullptr;
    QLineEdit* dbeAttempts = nullptr;
    QComboBox* cbEMailinterval = nullptr;
    QLineEdit* edEmailStartAt = nullptr;
    QLineEdit* dbeServer = nullptr;
    QLineEdit* dbePort = nullptr;
    QLineEdit* dbeUser = nullptr;
    QLineEdit* dbePassword = nullptr;
    QLineEdit* dbeProxy = nullptr;
    QLineEdit* dbeProxyPort = nullptr;
    QLineEdit* dbeProxyUser = nullptr;
    QLineEdit* dbeProxyPass = nullptr;
    QPlainTextEdit* dbmReciepts = nullptr;

    QPushButton* btnOk = nullptr;
    QPushButton* btnCancel = nullptr;
    QPushButton* btnApply = nullptr;

public slots:
    void FormCreate();
    void OnChangeData(QObject* Sender);
    void cbPingIntervalChange();
    void cbEMailintervalChange();
    void cbLanguageChange();
    void acSaveExecute();
    void acApplyExecute();
    void btnOkClick();
    void acCancelExecute();

    // Ok, Cancel, Esc and the close box all come through these.
    void accept() override;
    void reject() override;

private:
    struct TBinding
    {
        QWidget* control;
        const char* column;
        bool integer;
    };

    void createControls();
    void ApplyLanguage();
    void relayout();
    void LoadCombos();
    void loadFields();
    // The text of a bound control as the row's value: no value for an empty text.
    QVariant fieldValue(const TBinding& binding) const;
    // The first refused value, with its message; nullptr when all may be saved.
    QWidget* invalidField(QString* message) const;
    void showNextRunAt();
    void showEmailStartAt();

    QList<TBinding> m_bindings;
    QList<QLabel*> m_leftLabels;
    QList<QLabel*> m_rightLabels;
    // The schedule as it was when the dialog opened or was last saved, for a close without saving.
    TDateTime m_savedNextRunAt = 0;
    TDateTime m_savedNextEmailAt = 0;
    int m_savedLanguage = 0;
};
