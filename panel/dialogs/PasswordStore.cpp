#include "PasswordStore.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSettings>
#include <QStandardPaths>
#include <utility>

namespace {

const QString kValueName = QStringLiteral("param");
#ifdef Q_OS_WIN
const QString kRegistryKey = QStringLiteral("HKEY_LOCAL_MACHINE\\SOFTWARE\\Vemra");
#endif

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

CPasswordStore::CPasswordStore()
#ifndef Q_OS_WIN
    : m_fileName(DefaultFileName())
#endif
{}

CPasswordStore::CPasswordStore(QString fileName) : m_fileName(std::move(fileName)) {}

QString CPasswordStore::DefaultFileName()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
           QStringLiteral("/Vemra/TalvexPanel.ini");
}

QString CPasswordStore::Read() const
{
#ifdef Q_OS_WIN
    if (m_fileName.isEmpty()) {
        const QSettings registry(kRegistryKey, QSettings::NativeFormat);
        return registry.value(kValueName).toString();
    }
#endif
    if (m_fileName.isEmpty() || !QFileInfo(m_fileName).isFile()) {
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
#ifdef Q_OS_WIN
    if (m_fileName.isEmpty()) {
        QSettings registry(kRegistryKey, QSettings::NativeFormat);
        registry.setValue(kValueName, password);
        registry.sync();
        return registry.status() == QSettings::NoError;
    }
#endif
    if (m_fileName.isEmpty() || !PrepareOwnerOnlyFile(m_fileName)) {
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
