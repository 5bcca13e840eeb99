#pragma once
// brenvoll.ini beside the program chooses a shared database on a PostgreSQL
// server instead of 数据库.db:
//
//   [database]
//   driver=postgresql
//   host=…  port=…  name=…  user=…  password=… (optional)  sslmode=… (optional)
//
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
// such file or it chooses no server (the program then uses 数据库.db). A file
// that cannot be read or names an unknown driver or an invalid port is an
// error: `error` says what, and nothing is returned.
std::optional<ServerConfig> readServerConfig(const QString& folder, QString* error);

// True when the file holds a password and other users may read it.
bool passwordReadableByOthers(const QString& configFile, const ServerConfig& config);

} // namespace brenvoll
