#include "TestSupport.h"

#include "app/Database.h"
#include "app/ProgramPaths.h"

#include <QApplication>
#include <QFile>
#include <QListWidget>
#include <QPushButton>
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
