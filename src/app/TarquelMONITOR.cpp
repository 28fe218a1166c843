#include "app/uMain.h"
#include "app/uMessageBox.h"
#include "ping/PingThrd.h"
#include "store/uDM.h"

#include <QApplication>

int main(int argc, char* argv[])
{
    RaisePingFileLimit();
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Tarquel MONITOR"));

    fMain = new TfMain;
    InstallMessageBoxes(fMain);
    fDM = new TfDM;
    fMain->BindData();
    fMain->show();
    app.exec();
    ShutdownPingThreads();
    delete fMain;
    delete fDM;
    return 0;
}
