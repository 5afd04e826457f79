#include "PasswordStore.h"

#include "SystemPasswordStore.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSettings>
#include <QStandardPaths>
#include <utility>

namespace {

const QString kValueName = QStringLiteral("param");

constexpr QFileDevice::Permissions kOwnerOnly = QFileDevice::ReadOwner | QFileDevice::WriteOwner;

// Creates the INI file owner-only if it is missing, and narrows the
// permissions of one that exists, before a password is written into it.
bool PrepareOwnerOnlyFile(const QString& fileName)
{
    const QFileInfo info(fileName);
    if (!QDir().mkpath(info.absolutePath())) {
        return false;
    }
    if (info.exists()) {
        if (!info.isFile() || !info.isWritable()) {
            return false;
        }
        return QFile::setPermissions(fileName, kOwnerOnly);
    }
    QFile file(fileName);
    if (!file.open(QIODevice::WriteOnly | QIODevice::NewOnly, kOwnerOnly)) {
        return false;
    }
    file.close();
    return QFile::setPermissions(fileName, kOwnerOnly);  // whatever the umask left
}

}  // namespace

CPasswordStore::CPasswordStore() : m_fileName(system_password_store::Exists() ? QString() : DefaultFileName()) {}

CPasswordStore::CPasswordStore(QString fileName) : m_fileName(std::move(fileName)) {}

QString CPasswordStore::DefaultFileName()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
           QStringLiteral("/Vemra/TalvexPanel.ini");
}

QString CPasswordStore::Read() const
{
    if (m_fileName.isEmpty()) {
        return system_password_store::Read();
    }
    if (!QFileInfo(m_fileName).isFile()) {
        return QString();
    }
    const QSettings ini(m_fileName, QSettings::IniFormat);
    if (ini.status() != QSettings::NoError) {
        return QString();
    }
    return ini.value(kValueName).toString();
}

bool CPasswordStore::Write(const QString& password) const
{
    if (m_fileName.isEmpty()) {
        return system_password_store::Write(password);
    }
    if (!PrepareOwnerOnlyFile(m_fileName)) {
        return false;
    }
    {
        QSettings ini(m_fileName, QSettings::IniFormat);
        ini.setValue(kValueName, password);
        ini.sync();
        if (ini.status() != QSettings::NoError) {
            return false;
        }
    }
    // The file is replaced on save; make sure the new one is owner-only too.
    return QFile::setPermissions(m_fileName, kOwnerOnly) && Read() == password;
}
