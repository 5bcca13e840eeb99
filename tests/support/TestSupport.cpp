#include "TestSupport.h"

#include "PgServer.h"
#include "base/ProgramPaths.h"
#include "storage/Database.h"
#include "storage/ServerConfig.h"

#include <QApplication>
#include <QFile>
#include <QFileInfo>
#include <QListWidget>
#include <QPushButton>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTest>

#include <cstdio>
#include <cstdlib>

namespace brenvoll::test {

QString deliveredDatabase()
{
    return QString::fromUtf8(BRENVOLL_TEST_DATABASE);
}

bool onServer()
{
    static const bool server = qEnvironmentVariable("BRENVOLL_TEST_ENGINE") == QLatin1String("postgresql");
    return server;
}

TestFolder::TestFolder()
{
    m_ok = m_dir.isValid() && QFile::copy(deliveredDatabase(), databaseFile());
    if (m_ok) {
        QFile::setPermissions(databaseFile(), QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    }
    if (m_ok && onServer()) {
        PgServer& server = PgServer::shared();
        if (server.isMissing()) {
            // ctest counts exit code 77 of the server runs as skipped.
            std::fprintf(stderr, "SKIP: %s\n", qPrintable(server.failure()));
            std::exit(77);
        }
        QString error;
        m_conninfo = server.createProgramDatabase(&error);
        QFile config(serverConfigPath(m_dir.path()));
        m_ok = !m_conninfo.isEmpty() && config.open(QIODevice::WriteOnly) &&
               config.write(server.configText(m_conninfo).toUtf8()) > 0;
        if (!m_ok) {
            qWarning("test server database: %s", qPrintable(error));
        }
    }
}

TestFolder::~TestFolder()
{
    Database::close();
}

QString TestFolder::databaseFile() const
{
    return databasePath(m_dir.path());
}

bool TestFolder::open()
{
    if (m_ok && onServer()) {
        QString error;
        const auto config = readServerConfig(m_dir.path(), &error);
        return config && Database::openServer(*config, &error);
    }
    return m_ok && Database::open(connectionString(m_dir.path()));
}

ExamRecord makeRecord(const QString& key, const QString& name, const QString& date, const QString& address,
                      const QString& seed)
{
    ExamRecord record;
    record.identifying = {name, QStringLiteral("男"), QStringLiteral("45"), date, address, key};
    for (int i = 0; i < FieldMap::kFindingCount; ++i) {
        record.findings[i] = seed + QString::number(i);
    }
    return record;
}

bool crashedMidWrite(const QString& source, const QString& target)
{
    const QString journal = QStringLiteral("-journal");
    bool ok = false;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("crashing"));
        db.setDatabaseName(source);
        QSqlQuery query(db);
        ok = db.open() && query.exec(QStringLiteral("PRAGMA cache_size = 10")) &&
             query.exec(QStringLiteral("begin")) &&
             query.exec(QStringLiteral("insert into 词库 (常用语) select printf('%.2000c', 'x') from (with "
                                       "recursive n(i) as (select 1 union all select i + 1 from n where i < "
                                       "3000) select i from n)")) &&
             QFileInfo(source + journal).size() > 0 && QFile::copy(source, target) &&
             QFile::copy(source + journal, target + journal);
        ok = query.exec(QStringLiteral("rollback")) && ok;
    }
    QSqlDatabase::removeDatabase(QStringLiteral("crashing"));
    return ok;
}

QStringList itemsOf(const QListWidget* list)
{
    QStringList items;
    for (int i = 0; i < list->count(); ++i) {
        items << list->item(i)->text();
    }
    return items;
}

bool pressEnterOn(QPushButton* button)
{
    QWidget* window = button->window();
    window->show();
    window->activateWindow();
    if (!QTest::qWaitForWindowActive(window)) {
        return false;
    }
    button->setFocus(Qt::TabFocusReason);
    if (QApplication::focusWidget() != button) {
        return false;
    }
    QTest::keyClick(button, Qt::Key_Return);
    return true;
}

} // namespace brenvoll::test
