#include "store/uDM.h"

bool TfDM::GenerateReport(const QString& filename)
{
    Q_UNUSED(filename);
    return false;
}
