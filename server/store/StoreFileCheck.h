#pragma once

#include <QString>

class QSqlError;

namespace telvika::server {

// Checks of the store's file made around opening it, each refusing with a Russian reason that
// names the file or folder and leaves it as it is.
namespace storefile {

// Before SQLite opens the file: an existing file of zero bytes is no store (SQLite would take it
// for a new one and write a schema over it), and a data folder the server cannot write into
// cannot hold the store's journal. Throws telvika::Error.
void checkBeforeOpening(const QString& path);

// The reason to show when the first read of an existing file fails: what the SQLite error means
// for the user, with SQLite's own text kept as a detail.
QString unreadableReason(const QString& path, const QSqlError& error);

// The text of a failed statement on an open store: what failed, then why; damaged pages are
// named as such rather than by SQLite's English text alone.
QString statementFailure(const QString& what, const QSqlError& error);

}  // namespace storefile

}  // namespace telvika::server
