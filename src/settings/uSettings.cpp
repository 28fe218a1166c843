#include "settings/uSettings.h"

#include "app/uError.h"
#include "app/uNotify.h"
#include "i18n/uLanguage.h"
#include "store/uDM.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRegularExpressionValidator>

namespace {

const QString colLanguage = QStringLiteral("Language");
const QString colPingInterval = QStringLiteral("PingInterval");
const QString colEmailInterval = QStringLiteral("SendEmailinterval");

constexpr int editWidth = 121;
constexpr int rowHeight = 21;
constexpr int leftLabel = 24;
constexpr int leftControl = 107;
constexpr int rightLabel = 236;
constexpr int rightControl = 320;

// The limits below which the worker and the sender use a value unchanged (16-bit fields on the wire).
struct TLimit
{
    const char* column;
    qint64 low;
    qint64 high;
    const char* unit;
};
const TLimit limits[] = {
    { "PingTimeout", 1, 65535, " ms" }, { "PingPacketSize", 0, 65500, " bytes" },
    { "PingAttemts", 1, 100, "" },      { "ServerPort", 1, 65535, "" },
    { "ProxyPort", 1, 65535, "" },
};

// The time as the "Start at" box shows it: whole seconds, as the regional text would read back, but without the
// text itself (a two-digit year would read back into the wrong century).
TDateTime wholeSeconds(TDateTime value)
{
    const QDateTime dt = DateTimeToQt(value);
    const QTime t = dt.time();
    return double(QDate(1899, 12, 30).daysTo(dt.date()))
        + double(QTime(t.hour(), t.minute(), t.second()).msecsSinceStartOfDay()) / 86400000.0;
}

QString plain(QString caption)
{
    return caption.remove(QLatin1Char('&'));
}

QLabel* sectionCaption(QWidget* parent, int y, const QString& name)
{
    auto* holder = new QWidget(parent);
    holder->setObjectName(name + QStringLiteral("Rule"));
    holder->setGeometry(8, y, 447, 16);
    auto* row = new QHBoxLayout(holder);
    row->setContentsMargins(0, 0, 0, 0);
    auto* caption = new QLabel(holder);
    caption->setObjectName(name);
    auto* rule = new QFrame(holder);
    rule->setFrameShape(QFrame::HLine);
    rule->setFrameShadow(QFrame::Sunken);
    row->addWidget(caption);
    row->addWidget(rule, 1);
    return caption;
}

} // namespace

TfSettings::TfSettings(QWidget* AOwner)
    : QDialog(AOwner)
{
    createControls();
    FormCreate();
}

TfSettings::~TfSettings()
{
    // Destroyed while still open (its owner went first): nothing unsaved may stay in effect.
    if (fDM && fDM->qrySettings && fDM->qrySettings->Active() && fDM->dsSettingsEdit)
        acCancelExecute();
}

void TfSettings::createControls()
{
    setObjectName(QStringLiteral("fSettings"));
    setFont(QFont(QStringLiteral("Tahoma"), 8));
    setFixedSize(463, 503);
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);

    const auto label = [this](const char* name, int x, int y) {
        auto* l = new QLabel(this);
        l->setObjectName(QLatin1String(name));
        const int width = (x == leftLabel ? leftControl : rightControl) - x - 3;
        l->setGeometry(x, y, width, rowHeight);
        l->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
        (x == leftLabel ? m_leftLabels : m_rightLabels) << l;
        return l;
    };
    const auto edit = [this](const char* name, int x, int y) {
        auto* e = new QLineEdit(this);
        e->setObjectName(QLatin1String(name));
        e->setGeometry(x, y, editWidth, rowHeight);
        return e;
    };
    const auto combo = [this](const char* name, int x, int y) {
        auto* c = new QComboBox(this);
        c->setObjectName(QLatin1String(name));
        c->setGeometry(x, y, editWidth, rowHeight);
        return c;
    };
    const auto startAt = [&](const char* name, int y) {
        QLineEdit* e = edit(name, rightControl, y);
        e->setReadOnly(true);
        e->setEnabled(false);
        return e;
    };

    lbCommon = sectionCaption(this, 8, QStringLiteral("lbCommon"));
    lbAutoStartAgent = label("lbAutoStartAgent", leftLabel, 28);
    dbcAutoStartAgent = new QCheckBox(this);
    dbcAutoStartAgent->setObjectName(QStringLiteral("dbcAutoStartAgent"));
    dbcAutoStartAgent->setGeometry(leftControl, 28, 20, rowHeight);
    lbLanguage = label("lbLanguage", rightLabel, 28);
    cbLanguage = combo("cbLanguage", rightControl, 28);

    Label1 = sectionCaption(this, 60, QStringLiteral("Label1"));
    lbTimeout = label("lbTimeout", leftLabel, 80);
    dbeTimeout = edit("dbeTimeout", leftControl, 80);
    lbPacketSize = label("lbPacketSize", leftLabel, 108);
    dbePacketSize = edit("dbePacketSize", leftControl, 108);
    lbPingInterval = label("lbPingInterval", leftLabel, 136);
    cbPingInterval = combo("cbPingInterval", leftControl, 136);
    lbNextRun = label("lbNextRun", rightLabel, 136);
    edNextRunAt = startAt("edNextRunAt", 136);
    lbAttempts = label("lbAttempts", leftLabel, 164);
    dbeAttempts = edit("dbeAttempts", leftControl, 164);

    Label2 = sectionCaption(this, 196, QStringLiteral("Label2"));
    Label3 = label("Label3", leftLabel, 216);
    cbEMailinterval = combo("cbEMailinterval", leftControl, 216);
    lbEmailStartAt = label("lbEmailStartAt", rightLabel, 216);
    edEmailStartAt = startAt("edEmailStartAt", 216);
    lbServer = label("lbServer", leftLabel, 244);
    dbeServer = edit("dbeServer", leftControl, 244);
    lbPort = label("lbPort", rightLabel, 244);
    dbePort = edit("dbePort", rightControl, 244);
    lbUser = label("lbUser", leftLabel, 272);
    dbeUser = edit("dbeUser", leftControl, 272);
    lbPassword = label("lbPassword", rightLabel, 272);
    dbePassword = edit("dbePassword", rightControl, 272);
    lbProxy = label("lbProxy", leftLabel, 300);
    dbeProxy = edit("dbeProxy", leftControl, 300);
    lbProxyPort = label("lbProxyPort", rightLabel, 300);
    dbeProxyPort = edit("dbeProxyPort", rightControl, 300);
    lbProxyUser = label("lbProxyUser", leftLabel, 328);
    dbeProxyUser = edit("dbeProxyUser", leftControl, 328);
    lbProxyPassword = label("lbProxyPassword", rightLabel, 328);
    dbeProxyPass = edit("dbeProxyPass", rightControl, 328);
    Label4 = new QLabel(this);
    Label4->setObjectName(QStringLiteral("Label4"));
    Label4->setGeometry(leftLabel, 356, 417, 16);
    dbmReciepts = new QPlainTextEdit(this);
    dbmReciepts->setObjectName(QStringLiteral("dbmReciepts"));
    dbmReciepts->setGeometry(leftLabel, 374, 417, 86);
    dbmReciepts->setTabChangesFocus(true);

    for (QLineEdit* secret : { dbePassword, dbeProxyPass }) {
        secret->setEchoMode(QLineEdit::Password);
        secret->setStyleSheet(QStringLiteral("QLineEdit { lineedit-password-character: 42; }"));
    }

    const std::pair<QLabel*, QWidget*> buddies[] = { { lbAutoStartAgent, dbcAutoStartAgent },
                                                     { lbLanguage, cbLanguage },
                                                     { lbTimeout, dbeTimeout },
                                                     { lbPacketSize, dbePacketSize },
                                                     { lbPingInterval, cbPingInterval },
                                                     { lbNextRun, edNextRunAt },
                                                     { lbAttempts, dbeAttempts },
                                                     { Label3, cbEMailinterval },
                                                     { lbEmailStartAt, edEmailStartAt },
                                                     { lbServer, dbeServer },
                                                     { lbPort, dbePort },
                                                     { lbUser, dbeUser },
                                                     { lbPassword, dbePassword },
                                                     { lbProxy, dbeProxy },
                                                     { lbProxyPort, dbeProxyPort },
                                                     { lbProxyUser, dbeProxyUser },
                                                     { lbProxyPassword, dbeProxyPass },
                                                     { Label4, dbmReciepts } };
    for (const auto& [caption, control] : buddies)
        caption->setBuddy(control);

    const auto button = [this](const char* name, int x) {
        auto* b = new QPushButton(this);
        b->setObjectName(QLatin1String(name));
        b->setGeometry(x, 470, 75, 25);
        return b;
    };
    btnOk = button("btnOk", 214);
    btnCancel = button("btnCancel", 297);
    btnApply = button("btnApply", 380);
    btnOk->setDefault(true);

    acSave = new QAction(this);
    acSave->setObjectName(QStringLiteral("acSave"));
    acApply = new QAction(this);
    acApply->setObjectName(QStringLiteral("acApply"));
    acApply->setEnabled(false);
    acCancel = new QAction(this);
    acCancel->setObjectName(QStringLiteral("acCancel"));
    btnApply->setEnabled(false);
    connect(acSave, &QAction::triggered, this, &TfSettings::acSaveExecute);
    connect(acApply, &QAction::triggered, this, &TfSettings::acApplyExecute);
    connect(acCancel, &QAction::triggered, this, &TfSettings::reject);
    connect(acApply, &QAction::changed, btnApply, [this] { btnApply->setEnabled(acApply->isEnabled()); });
    connect(btnApply, &QPushButton::clicked, acApply, &QAction::trigger);
    connect(btnCancel, &QPushButton::clicked, acCancel, &QAction::trigger);
    connect(btnOk, &QPushButton::clicked, this, &TfSettings::btnOkClick);

    QWidget* order[]
        = { dbcAutoStartAgent, cbLanguage,   dbeTimeout,  dbePacketSize, cbPingInterval, dbeAttempts,  cbEMailinterval,
            dbeServer,         dbePort,      dbeUser,     dbePassword,   dbeProxy,       dbeProxyPort, edNextRunAt,
            dbeProxyUser,      dbeProxyPass, dbmReciepts, btnOk,         btnCancel,      btnApply,     edEmailStartAt };
    for (std::size_t i = 1; i < std::size(order); ++i)
        setTabOrder(order[i - 1], order[i]);

    m_bindings = {
        { dbeTimeout, "PingTimeout", true },  { dbePacketSize, "PingPacketSize", true },
        { dbeAttempts, "PingAttemts", true }, { dbeServer, "ServerAdd", false },
        { dbePort, "ServerPort", true },      { dbeUser, "User", false },
        { dbePassword, "Password", false },   { dbeProxy, "Proxy", false },
        { dbeProxyPort, "ProxyPort", true },  { dbeProxyUser, "ProxyUser", false },
        { dbeProxyPass, "ProxyPass", false }, { dbmReciepts, "EmailRecipients", false },
    };
    const QRegularExpression integerText(QStringLiteral("[+-]?[0-9]*"));
    for (const TBinding& binding : std::as_const(m_bindings)) {
        const auto changed = [this, binding] {
            OnChangeData(binding.control);
            fDM->Settings().SetField(QLatin1String(binding.column), fieldValue(binding));
        };
        if (auto* line = qobject_cast<QLineEdit*>(binding.control)) {
            if (binding.integer)
                line->setValidator(new QRegularExpressionValidator(integerText, line));
            connect(line, &QLineEdit::textChanged, this, changed);
        } else if (auto* memo = qobject_cast<QPlainTextEdit*>(binding.control)) {
            connect(memo, &QPlainTextEdit::textChanged, this, changed);
        }
    }
    // The check box changes the row through its binding alone: it does not enable Apply.
    connect(dbcAutoStartAgent, &QCheckBox::toggled, this,
            [](bool checked) { fDM->Settings().SetField(QStringLiteral("AutoStartAgent"), checked); });
    // activated: the operator's picks only, never a selection made from code.
    connect(cbPingInterval, &QComboBox::activated, this, &TfSettings::cbPingIntervalChange);
    connect(cbEMailinterval, &QComboBox::activated, this, &TfSettings::cbEMailintervalChange);
    connect(cbLanguage, &QComboBox::activated, this, &TfSettings::cbLanguageChange);
}

void TfSettings::FormCreate()
{
    TSettingsQuery& settings = fDM->Settings();
    m_savedLanguage = settings.AsInteger(colLanguage);
    m_savedNextRunAt = fDM->NextRunAt;
    m_savedNextEmailAt = fDM->NextEmailAt;
    ApplyLanguage();
    LoadCombos();
    loadFields();
    showNextRunAt();
    showEmailStartAt();
}

void TfSettings::ApplyLanguage()
{
    setWindowTitle(txtSettingsCaption);
    const std::pair<QLabel*, const QString*> captions[] = {
        { lbCommon, &txtCommon },
        { Label1, &txtPinging },
        { Label2, &txtEmail },
        { lbAutoStartAgent, &txtAutoStartAgent },
        { lbLanguage, &txtLanguage },
        { lbTimeout, &txtTimeout },
        { lbPacketSize, &txtPacketSize },
        { lbPingInterval, &txtPingInterval },
        { lbNextRun, &txtStartAt },
        { lbAttempts, &txtAttempts },
        { Label3, &txtInterval },
        { lbEmailStartAt, &txtEmailStartAt },
        { lbServer, &txtSmtpServer },
        { lbPort, &txtPort },
        { lbUser, &txtUser },
        { lbPassword, &txtPassword },
        { lbProxy, &txtProxyAddress },
        { lbProxyPort, &txtProxyPort },
        { lbProxyUser, &txtProxyUser },
        { lbProxyPassword, &txtProxyPassword },
        { Label4, &txtRecipients },
    };
    for (const auto& [label, text] : captions)
        label->setText(*text);
    btnOk->setText(txtOk);
    btnCancel->setText(txtCancel);
    btnApply->setText(txtApply);
    relayout();
}

void TfSettings::relayout()
{
    // The design positions, moved right only where a caption in the font at hand would not fit before its control.
    const auto widest = [](const QList<QLabel*>& labels) {
        int width = 0;
        for (const QLabel* label : labels)
            width = std::max(width, label->sizeHint().width());
        return width;
    };
    const int left = std::max(leftControl, leftLabel + widest(m_leftLabels) + 4);
    const int labelRight = std::max(rightLabel, left + editWidth + 8);
    const int right = std::max(rightControl, labelRight + widest(m_rightLabels) + 4);
    const int width = std::max(463, right + editWidth + 22);
    const auto place = [](const QList<QLabel*>& labels, int labelX, int controlX) {
        for (QLabel* label : labels) {
            label->setGeometry(labelX, label->y(), controlX - labelX - 3, rowHeight);
            QWidget* control = label->buddy();
            control->move(controlX, control->y());
        }
    };
    place(m_leftLabels, leftLabel, left);
    place(m_rightLabels, labelRight, right);
    for (const char* rule : { "lbCommonRule", "Label1Rule", "Label2Rule" }) {
        if (auto* holder = findChild<QWidget*>(QLatin1String(rule)))
            holder->resize(width - 16, holder->height());
    }
    Label4->resize(width - 2 * leftLabel, Label4->height());
    dbmReciepts->resize(width - 46, dbmReciepts->height());
    btnApply->move(width - 83, btnApply->y());
    btnCancel->move(width - 166, btnCancel->y());
    btnOk->move(width - 249, btnOk->y());
    setFixedSize(width, 503);
}

void TfSettings::LoadCombos()
{
    const TSettingsQuery& settings = fDM->Settings();
    const QSignalBlocker blockEmail(cbEMailinterval);
    const QSignalBlocker blockLanguage(cbLanguage);
    const QSignalBlocker blockPing(cbPingInterval);
    cbEMailinterval->clear();
    cbEMailinterval->addItems(SplitListEntry(txtEmailIntervalList));
    cbLanguage->clear();
    cbLanguage->addItems(SplitListEntry(txtLanguageList));
    cbPingInterval->clear();
    cbPingInterval->addItems(SplitListEntry(txtPingIntervalList));
    cbPingInterval->setCurrentIndex(PingIntervalItemOf(settings.AsInteger(colPingInterval)));
    cbEMailinterval->setCurrentIndex(EmailIntervalItemOf(settings.AsInteger(colEmailInterval)));
    const int language = settings.AsInteger(colLanguage);
    cbLanguage->setCurrentIndex(language >= 0 && language < cbLanguage->count() ? language : -1);
}

void TfSettings::loadFields()
{
    // Showing the stored values is no change: the row stays in browse state and Apply stays off.
    const TSettingsQuery& settings = fDM->Settings();
    for (const TBinding& binding : std::as_const(m_bindings)) {
        const QSignalBlocker block(binding.control);
        const QString text = settings.AsString(QLatin1String(binding.column));
        if (auto* line = qobject_cast<QLineEdit*>(binding.control))
            line->setText(text);
        else if (auto* memo = qobject_cast<QPlainTextEdit*>(binding.control))
            memo->setPlainText(text);
    }
    const QSignalBlocker block(dbcAutoStartAgent);
    dbcAutoStartAgent->setChecked(settings.AsBoolean(QStringLiteral("AutoStartAgent")));
}

QVariant TfSettings::fieldValue(const TBinding& binding) const
{
    QString text;
    if (auto* line = qobject_cast<QLineEdit*>(binding.control))
        text = line->text();
    else if (auto* memo = qobject_cast<QPlainTextEdit*>(binding.control))
        text = memo->toPlainText();
    if (text.isEmpty())
        return QVariant();
    if (binding.integer) {
        bool ok = false;
        const int value = text.toInt(&ok);
        // A text that is no integer ("-", too many digits) stays as typed; the save refuses it.
        if (ok)
            return value;
    }
    return text;
}

QWidget* TfSettings::invalidField(QString* message) const
{
    // The text table has no entries for these: they follow the language the table was last filled in.
    const bool portuguese = m_savedLanguage == 0;
    const TSettingsQuery& settings = fDM->Settings();
    const auto controlOf = [this](const QString& column) -> QWidget* {
        for (const TBinding& binding : m_bindings) {
            if (column == QLatin1String(binding.column))
                return binding.control;
        }
        return nullptr;
    };
    const auto captionOf = [this, &controlOf](const QString& column) {
        for (QLabel* label : findChildren<QLabel*>()) {
            if (label->buddy() == controlOf(column))
                return plain(label->text());
        }
        return column;
    };

    for (const TLimit& limit : limits) {
        const QString column = QLatin1String(limit.column);
        const QVariant value = settings.FieldByName(column);
        if (value.isNull())
            continue; // stored as 0 or as no value when posted
        bool ok = false;
        const qint64 number = value.toString().toLongLong(&ok);
        if (ok && number >= limit.low && number <= limit.high)
            continue;
        const QString format = portuguese ? QStringLiteral("%1 deve ser um número inteiro de %2 a %3%4.")
                                          : QStringLiteral("%1 must be a whole number from %2 to %3%4.");
        *message = format.arg(captionOf(column), QString::number(limit.low), QString::number(limit.high),
                              QLatin1String(limit.unit));
        return controlOf(column);
    }

    const QString timeoutColumn = QStringLiteral("PingTimeout");
    if (!settings.IsNull(timeoutColumn) && !settings.IsNull(colPingInterval)) {
        const qint64 timeout = settings.AsInteger(timeoutColumn);
        const qint64 interval = settings.AsInteger(colPingInterval);
        if (interval > 0 && timeout >= interval * 1000) {
            const QString format = portuguese ? QStringLiteral("%1 deve ser menor que o intervalo de ping (%2 ms).")
                                              : QStringLiteral("%1 must be shorter than the ping interval (%2 ms).");
            *message = format.arg(captionOf(timeoutColumn), QString::number(interval * 1000));
            return dbeTimeout;
        }
    }
    return nullptr;
}

void TfSettings::showNextRunAt()
{
    edNextRunAt->setText(DateTimeText(fDM->NextRunAt));
    fDM->NextRunAt = wholeSeconds(fDM->NextRunAt);
}

void TfSettings::showEmailStartAt()
{
    edEmailStartAt->setText(DateTimeText(fDM->NextEmailAt));
    fDM->NextEmailAt = wholeSeconds(fDM->NextEmailAt);
}

void TfSettings::OnChangeData(QObject* Sender)
{
    Q_UNUSED(Sender);
    acApply->setEnabled(true);
    if (!fDM->dsSettingsEdit)
        fDM->Settings().Edit();
}

void TfSettings::cbPingIntervalChange()
{
    OnChangeData(cbPingInterval);
    TSettingsQuery& settings = fDM->Settings();
    const int item = cbPingInterval->currentIndex();
    if (item >= 0)
        settings.SetField(colPingInterval, PingIntervalSecondsOf(item));
    fDM->NextRunAt = GetNextSyncTime(Now(), settings.AsInteger(colPingInterval) / 86400.0);
    showNextRunAt();
}

void TfSettings::cbEMailintervalChange()
{
    OnChangeData(cbEMailinterval);
    TSettingsQuery& settings = fDM->Settings();
    const int item = cbEMailinterval->currentIndex();
    if (item >= 0)
        settings.SetField(colEmailInterval, EmailIntervalSecondsOf(item));
    fDM->NextEmailAt = GetNextSyncTime(Now(), settings.AsInteger(colEmailInterval) / 86400.0);
    showEmailStartAt();
}

void TfSettings::cbLanguageChange()
{
    OnChangeData(cbLanguage);
    fDM->Settings().SetField(colLanguage, cbLanguage->currentIndex());
}

void TfSettings::acSaveExecute()
{
    if (!fDM->dsSettingsEdit && !fDM->dsSettingsInsert)
        return;
    QString message;
    if (QWidget* field = invalidField(&message)) {
        pblSuccesfulSave = false;
        Notify::ShowError(message);
        field->setFocus();
        return;
    }
    TSettingsQuery& settings = fDM->Settings();
    try {
        settings.SetField(colLanguage, cbLanguage->currentIndex());
        ApplyLanguageRule(settings.AsInteger(colLanguage));
        ApplyLanguage();
        settings.Post();
    } catch (const EMonitorError& e) {
        // The table keeps the language of the stored row; the operator sees why the save did not happen.
        ApplyLanguageRule(m_savedLanguage);
        ApplyLanguage();
        pblSuccesfulSave = false;
        Notify::ShowError(e.Message());
        return;
    }
    pblSuccesfulSave = true;
    m_savedLanguage = settings.AsInteger(colLanguage);
    m_savedNextRunAt = fDM->NextRunAt;
    m_savedNextEmailAt = fDM->NextEmailAt;
}

void TfSettings::acApplyExecute()
{
    acSaveExecute();
    // After a failure the pending edit is still there to retry.
    if (!fDM->dsSettingsEdit && !fDM->dsSettingsInsert)
        acApply->setEnabled(false);
}

void TfSettings::btnOkClick()
{
    acSaveExecute();
    if (!fDM->dsSettingsEdit && !fDM->dsSettingsInsert)
        QDialog::accept();
}

void TfSettings::acCancelExecute()
{
    fDM->Settings().Cancel();
    fDM->NextRunAt = m_savedNextRunAt;
    fDM->NextEmailAt = m_savedNextEmailAt;
}

void TfSettings::accept()
{
    btnOkClick();
}

void TfSettings::reject()
{
    try {
        acCancelExecute();
    } catch (const EMonitorError& e) {
        Notify::ShowError(e.Message());
    }
    QDialog::reject();
}
