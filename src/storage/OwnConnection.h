#pragma once
// A connection of its own to one database file, beside the program's own:
// for copying, checking and locking a file without touching the program's
// connection. It may be made and used on any one thread.
#include <QSqlDatabase>
#include <QString>
#include <QVariant>

#include <atomic>

namespace brenvoll {

class OwnConnection
{
public:
    // Never creates a missing file. A writable connection lets SQLite roll
    // back a journal left by an interrupted write before anything is read.
    OwnConnection(const QString& path, bool readOnly, int busyMilliseconds = 5000);
    ~OwnConnection();
    OwnConnection(const OwnConnection&) = delete;
    OwnConnection& operator=(const OwnConnection&) = delete;

    bool isOpen() const { return m_error.isNull(); }
    QString error() const { return m_error; }
    QSqlDatabase db() const;

    // The first column of the first row of `sql`; false with the engine's
    // reason when there is none.
    bool queryOne(const QString& sql, QVariant& value, QString* error = nullptr) const;
    // Statements stop with an error soon after `*cancel` turns true.
    void setCancel(const std::atomic_bool* cancel);

private:
    QString m_name;
    QString m_error;
};

} // namespace brenvoll
