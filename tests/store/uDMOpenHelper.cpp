// A second copy of the program's start-up: opens the data module in the directory given as the only argument
// and prints every error message it was shown, then whether the opening step ran to its end.
#include "app/uNotify.h"
#include "store/uDM.h"

#include <QCoreApplication>
#include <QDir>
#include <QTextStream>

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    const QStringList args = QCoreApplication::arguments();
    if (args.size() != 2 || !QDir::setCurrent(args.at(1)))
        return 2;
    QTextStream out(stdout);
    Notify::SetErrorHandler([&out](const QString& message) { out << "error: " << message << Qt::endl; });
    TfDM dm;
    out << "opened: " << (dm.Opened() ? 1 : 0) << Qt::endl;
    return 0;
}
