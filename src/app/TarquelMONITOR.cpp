#include "app/uMain.h"
#include "app/uMessageBox.h"
#include "ping/PingThrd.h"
#include "store/uDM.h"

#include <QApplication>

#include <sys/resource.h>

namespace {

// One socket per echo request: a cycle of a few thousand workers needs more than the default 1024 files.
void raiseOpenFileLimit()
{
    rlimit limit{};
    if (getrlimit(RLIMIT_NOFILE, &limit) == 0 && limit.rlim_cur < limit.rlim_max) {
        limit.rlim_cur = limit.rlim_max;
        setrlimit(RLIMIT_NOFILE, &limit);
    }
}

} // namespace

int main(int argc, char* argv[])
{
    raiseOpenFileLimit();
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Tarquel MONITOR"));

    fMain = new TfMain;
    InstallMessageBoxes(fMain);
    fDM = new TfDM;
    fMain->BindData();
    fMain->show();
    const int rc = app.exec();
    ShutdownPingThreads();
    Q_UNUSED(rc);
    return 0;
}
