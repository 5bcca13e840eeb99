#pragma once
// brenvoll.ini beside the program chooses a shared database on a PostgreSQL
// server instead of 数据库.db:
//
//   [database]
//   driver=postgresql
//   host=…  port=…  name=…  user=…  password=… (optional)  sslmode=… (optional)
//
// Section and setting names may be written in any letter case; the file may
// be UTF-8 (with or without a byte-order mark) or UTF-16. A value is all the
// text after "=" up to the line's end, "," and ";" included (base/IniText.h).
// Without a password libpq's own sources apply (PGPASSWORD, ~/.pgpass).
#include <QString>

#include <optional>

namespace brenvoll {

struct ServerConfig
{
    QString host;
    int port = 5432;
    QString name;
    QString user;
    std::optional<QString> password;
    QString sslmode;

    // "host:port", as messages name the server.
    QString server() const;
};

// The configuration file in a program folder.
QString serverConfigPath(const QString& folder);

// The server chosen by the folder's brenvoll.ini; nothing when there is no
// such file (the program then uses 数据库.db). A file that is there either
// chooses a server or is an error: `error` names the file and says what is
// wrong (no [database] section, no driver, a setting misspelled or given
// twice, an invalid port or sslmode...), and nothing is returned.
std::optional<ServerConfig> readServerConfig(const QString& folder, QString* error);

// The server chosen by the configuration file at `path`, read as above; a
// file that is missing is an error here.
std::optional<ServerConfig> readServerConfigFile(const QString& path, QString* error);

// `value` as a libpq connection string holds it: in single quotes, with
// backslashes and single quotes escaped, so that it stays one value.
QString conninfoValue(const QString& value);

// True when the file holds a password and other users may read it.
bool passwordReadableByOthers(const QString& configFile, const ServerConfig& config);

} // namespace brenvoll
