#pragma once
// What every test shares: a fresh copy of the delivered database in a
// temporary folder, opened as the program opens it.
#include "record/FieldMap.h"

#include <QString>
#include <QStringList>

class QListWidget;
class QPushButton;
#include <QTemporaryDir>

namespace brenvoll::test {

// The delivered database that the build wrote beside the program.
QString deliveredDatabase();

// Whether the store tests run on a PostgreSQL server: the same test program
// is run a second time with BRENVOLL_TEST_ENGINE=postgresql.
bool onServer();

// A temporary program folder holding a fresh copy of the delivered database.
// On a server the folder also holds a brenvoll.ini naming a fresh database
// of the test server, with the program's tables, which the folder then opens.
class TestFolder
{
public:
    TestFolder();
    ~TestFolder();
    bool isValid() const { return m_ok; }
    QString path() const { return m_dir.path(); }
    QString databaseFile() const;
    // Opens the copy (or the server database) as the program's connection.
    bool open();
    // The connection string of the server database; empty with SQLite.
    QString conninfo() const { return m_conninfo; }

private:
    QString m_conninfo;
    QTemporaryDir m_dir;
    bool m_ok = false;
};

// A record with every box filled from `seed`, under `key` and `date`.
ExamRecord makeRecord(const QString& key, const QString& name, const QString& date,
                      const QString& address = QStringLiteral("东街1号"),
                      const QString& seed = QStringLiteral("值"));

// Writes `target` and its journal as a crash in the middle of a large write
// to the database `source` leaves them: the file already holds pages of the
// unfinished write, its journal the pages to put back. `source` stays as it
// was.
bool crashedMidWrite(const QString& source, const QString& target);

// The texts of a list's items, top to bottom.
QStringList itemsOf(const QListWidget* list);

// Shows and activates the button's window, gives the button the focus as Tab
// would and presses Enter. False when the window or the button gets no focus.
bool pressEnterOn(QPushButton* button);

} // namespace brenvoll::test
