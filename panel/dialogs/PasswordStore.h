#pragma once
// Where the panel lock's password lives between runs.
//
// On Windows: the machine-wide registry key HKEY_LOCAL_MACHINE\SOFTWARE\Vemra,
// string value "param", plain text, as earlier versions of the panel wrote it,
// in the registry's 32-bit view (SystemPasswordStore.h).
// Elsewhere: an INI file Vemra/TalvexPanel.ini in the user's configuration
// directory (XDG_CONFIG_HOME, else ~/.config), kept readable and writable by
// its owner only. An empty, missing or unreadable entry means "no password".

#include <QString>

class CPasswordStore
{
public:
    // The platform's store.
    CPasswordStore();
    // An INI file at `fileName` instead (non-Windows layout).
    explicit CPasswordStore(QString fileName);

    // The stored password, or an empty string when there is none.
    QString Read() const;
    // Stores `password` as it is (an empty one included). false when the
    // store could not be created or the value could not be written.
    bool Write(const QString& password) const;

    // The INI file this store uses (empty for the registry).
    QString FileName() const { return m_fileName; }
    // The default INI file: <configuration directory>/Vemra/TalvexPanel.ini.
    static QString DefaultFileName();

private:
    QString m_fileName;
};
