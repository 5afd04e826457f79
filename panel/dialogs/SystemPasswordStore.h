#pragma once
// The platform's machine-wide password store, where it has one: on Windows
// the registry value where earlier versions of the panel kept the password.
// One file per platform implements it; CPasswordStore uses it when it is
// constructed for the platform's store.

#include <QString>

namespace system_password_store {

// False where the platform has no such store: the panel then keeps the
// password in an INI file of the user's.
bool Exists();
// The stored password exactly as stored; empty when there is none or it
// cannot be read.
QString Read();
// Stores `password` as it is; false when the store cannot be written.
bool Write(const QString& password);

}  // namespace system_password_store
