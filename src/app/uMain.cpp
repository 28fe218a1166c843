#include "app/uMain.h"

TfMain* fMain = nullptr;

TfMain::TfMain(QWidget* parent)
    : QMainWindow(parent)
{
    setWindowTitle(QStringLiteral("Tarquel MONITOR 1.0"));
}
