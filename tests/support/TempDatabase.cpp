#include "TempDatabase.h"

#include "store/uDM.h"

#include <QDir>

TempWorkDir::TempWorkDir()
    : m_previous(QDir::currentPath())
{
    m_entered = m_dir.isValid() && QDir::setCurrent(m_dir.path());
}

TempWorkDir::~TempWorkDir()
{
    if (m_entered)
        QDir::setCurrent(m_previous);
}

TempDatabase::TempDatabase(bool open)
{
    if (open)
        Open();
}

// The data module goes before the directory it lives in.
TempDatabase::~TempDatabase()
{
    Close();
}

TfDM* TempDatabase::Open()
{
    Close();
    if (isValid())
        m_dm = std::make_unique<TfDM>();
    return m_dm.get();
}

void TempDatabase::Close()
{
    m_dm.reset();
}

QString TempDatabase::databasePath() const
{
    return filePath(QString::fromLatin1(DatabaseFileName));
}
