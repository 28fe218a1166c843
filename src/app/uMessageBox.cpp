#include "app/uMessageBox.h"

#include "app/uNotify.h"

#include <QApplication>
#include <QMessageBox>
#include <QPointer>

namespace {
QPointer<QWidget> boxParent;
std::function<void(const QString&)> overflowSink;
int openErrorBoxes = 0;
} // namespace

void InstallMessageBoxes(QWidget* parent)
{
    boxParent = parent;
    Notify::SetErrorHandler([](const QString& message) {
        if (openErrorBoxes > 0 && overflowSink) {
            overflowSink(message);
            return;
        }
        ++openErrorBoxes;
        QMessageBox::critical(boxParent, QApplication::applicationDisplayName(), message, QMessageBox::Ok);
        --openErrorBoxes;
    });
    Notify::SetInformationHandler([](const QString& message) {
        QMessageBox::information(boxParent, QApplication::applicationDisplayName(), message, QMessageBox::Ok);
    });
    Notify::SetConfirmHandler([](const QString& message) {
        return QMessageBox::question(boxParent, QApplication::applicationDisplayName(), message,
                                     QMessageBox::Yes | QMessageBox::No)
            == QMessageBox::Yes;
    });
}

void SetErrorOverflowSink(std::function<void(const QString&)> sink)
{
    overflowSink = std::move(sink);
}

bool ErrorBoxOpen()
{
    return openErrorBoxes > 0;
}
