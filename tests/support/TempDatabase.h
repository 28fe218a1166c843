#pragma once

#include <QString>
#include <QTemporaryDir>

#include <memory>

class TfDM;

// A fresh temporary directory as the working directory for the life of the object; the previous one comes back
// on destruction.
class TempWorkDir
{
public:
    TempWorkDir();
    ~TempWorkDir();
    TempWorkDir(const TempWorkDir&) = delete;
    TempWorkDir& operator=(const TempWorkDir&) = delete;

    bool isValid() const { return m_entered; }
    QString path() const { return m_dir.path(); }
    QString filePath(const QString& name) const { return m_dir.filePath(name); }

private:
    QTemporaryDir m_dir;
    QString m_previous;
    bool m_entered = false;
};

// A data module on "TarquelMONITOR.db" in its own temporary working directory. Prepare the directory (an empty or
// foreign file) before calling Open() to test an existing file.
class TempDatabase : public TempWorkDir
{
public:
    explicit TempDatabase(bool open = true);
    ~TempDatabase();

    // Creates the data module in the current working directory, which runs its opening step; a module opened
    // before is closed first.
    TfDM* Open();
    // Closes the data module and releases the file (and its lock).
    void Close();
    TfDM* dm() const { return m_dm.get(); }
    QString databasePath() const;

private:
    std::unique_ptr<TfDM> m_dm;
};
