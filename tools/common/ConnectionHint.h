#pragma once
// What the server tools add to a failed connection: libpq takes the password
// from PGPASSWORD or ~/.pgpass and asks for none, so a server that wants one
// refuses with "no password supplied"; the operator reads where it goes.
#include <libpq-fe.h>
#include <string>

inline std::string connectionHint(const PGconn* connection)
{
    if (!PQconnectionNeedsPassword(connection)) {
        return {};
    }
    const auto text = [](const char* value) { return std::string(value ? value : ""); };
    const std::string user = text(PQuser(connection));
    return "  The server wants the password of its user " + user +
           ". Give it as PGPASSWORD='…' before the\n" +
           "  command, or in ~/.pgpass (chmod 600 ~/.pgpass) as the line\n    " + text(PQhost(connection)) +
           ':' + text(PQport(connection)) + ":*:" + user + ":PASSWORD\n";
}
