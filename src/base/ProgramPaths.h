#pragma once
// Where the program and its database lie, and the connection string that
// names the database.
//
// A program run from a build or an unpacked folder keeps its database,
// brenvoll.ini and the drafts beside itself. An installed program (the
// package puts kInstalledMark beside the binary) keeps them in a data folder
// that an upgrade of the package never touches: the folder named by
// `data=` in /etc/brenvoll/brenvoll.conf (a desk PC shared by several
// system users), else $XDG_DATA_HOME/brenvoll (~/.local/share/brenvoll).
#include <QString>

namespace brenvoll {

// The folder of the running program, without a trailing separator.
QString programFolder();

// The file beside the installed binary that marks the program installed.
inline constexpr const char* kInstalledMark = "brenvoll.installed";
// The system-wide choice of the installed program's data folder.
inline constexpr const char* kSystemConfigFile = "/etc/brenvoll/brenvoll.conf";

bool isInstalledIn(const QString& programFolder);
// The folder of the database, brenvoll.ini and the drafts for a program in
// `programFolder`, given the system configuration file, $XDG_DATA_HOME and
// the home folder.
QString dataFolderFor(const QString& programFolder, const QString& configFile, const QString& xdgDataHome,
                      const QString& home);
// The same for the running program.
QString dataFolder();
// An installed program's data folder on first start: made, and the
// delivered database copied into it from beside the program, never over one
// that exists. Nothing to do beside the program. False with a message for
// the operator.
bool prepareDataFolder(const QString& programFolder, const QString& dataFolder, QString* error);
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
