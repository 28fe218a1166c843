#pragma once

#include <QString>

#include <functional>

// The message boxes of the program. The core library raises them through these hooks so that it needs no
// widgets; the window library installs the real boxes and tests install recorders.
namespace Notify {

using TMessageHandler = std::function<void(const QString&)>;
using TConfirmHandler = std::function<bool(const QString&)>;

void ShowError(const QString& message);
void ShowInformation(const QString& message);
// Yes/No question; true for Yes.
bool Confirm(const QString& message);

void SetErrorHandler(TMessageHandler handler);
void SetInformationHandler(TMessageHandler handler);
void SetConfirmHandler(TConfirmHandler handler);

} // namespace Notify
