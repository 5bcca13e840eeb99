#include "TestSupport.h"

#include "app/Database.h"
#include "app/ProgramPaths.h"

#include <QApplication>
#include <QFile>
#include <QFileInfo>
#include <QListWidget>
#include <QPushButton>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTest>

namespace brenvoll::test {

QString deliveredDatabase()
{
    return QString::fromUtf8(BRENVOLL_TEST_DATABASE);
}

TestFolder::TestFolder()
{
    m_ok = m_dir.isValid() && QFile::copy(deliveredDatabase(), databaseFile());
    if (m_ok) {
        QFile::setPermissions(databaseFile(), QFileDevice::ReadOwner | QFileDevice::WriteOwner);
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
