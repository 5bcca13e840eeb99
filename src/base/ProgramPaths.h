#pragma once
// Where the program and its database lie, and the connection string that
// names the database.
#include <QString>

namespace brenvoll {

// The folder of the running program, without a trailing separator.
QString programFolder();
QString databasePath(const QString& folder);
// The drafts of unsaved sheets beside a database file: "数据库.drafts" beside
// "数据库.db".
QString draftsPath(const QString& databaseFile);
// The connection string as the program builds it at start-up, and the
// database file it names. A path that holds ";", "=", quotes or blanks at
// either end is carried between double quotes and read back whole.
QString connectionString(const QString& folder);
QString dataSourceOf(const QString& connection);
// True for an existing ordinary file that is not hidden.
bool isOrdinaryFile(const QString& path);

} // namespace brenvoll
