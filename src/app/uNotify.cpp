#include "app/uNotify.h"

#include "app/uError.h"

#include <QDebug>

EMonitorError::EMonitorError(const QString& message)
    : m_message(message)
    , m_utf8(message.toUtf8())
{
}

namespace Notify {
namespace {
TMessageHandler errorHandler;
TMessageHandler informationHandler;
TConfirmHandler confirmHandler;
} // namespace

void ShowError(const QString& message)
{
    if (errorHandler)
        errorHandler(message);
    else
        qWarning().noquote() << "Error:" << message;
}

void ShowInformation(const QString& message)
{
    if (informationHandler)
        informationHandler(message);
    else
        qInfo().noquote() << message;
}

bool Confirm(const QString& message)
{
    return confirmHandler ? confirmHandler(message) : false;
}

void SetErrorHandler(TMessageHandler handler)
{
    errorHandler = std::move(handler);
}
void SetInformationHandler(TMessageHandler handler)
{
    informationHandler = std::move(handler);
}
void SetConfirmHandler(TConfirmHandler handler)
{
    confirmHandler = std::move(handler);
}

} // namespace Notify
