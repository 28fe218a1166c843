#include "app/uMain.h"
#include "store/uDM.h"

#include <QApplication>

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationDisplayName(QStringLiteral("Tarquel MONITOR"));
    fMain = new TfMain;
    fDM = new TfDM;
    fMain->show();
    return app.exec();
}
