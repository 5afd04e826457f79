// No machine-wide store here: the password lives in the user's INI file.

#include "SystemPasswordStore.h"

namespace system_password_store {

bool Exists() { return false; }
QString Read() { return QString(); }
bool Write(const QString&) { return false; }

}  // namespace system_password_store
