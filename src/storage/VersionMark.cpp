#include "VersionMark.h"

#include "Database.h"

#include <QSqlQuery>

namespace brenvoll {

namespace {
bool markTablePresent(bool* present, QString* error)
{
    const QString sql =
        Database::engine() == Database::Engine::SQLite
            ? QStringLiteral("select count(*) from sqlite_master where type = 'table' and name = '程序版本'")
            : QStringLiteral("select count(*) from information_schema.tables where table_schema = "
                             "current_schema() and table_name = '程序版本'");
    QSqlQuery query = Database::prepare(sql, error);
    if (!Database::exec(query, error) || !query.next()) {
        return false;
    }
    *present = query.value(0).toInt() > 0;
    return true;
}
} // namespace

bool VersionMark::read(QVersionNumber* recorded, QString* error)
{
    *recorded = QVersionNumber();
    bool present = false;
    if (!markTablePresent(&present, error)) {
        return false;
    }
    if (!present) {
        return true;
    }
    QSqlQuery query = Database::prepare(QStringLiteral("select 版本 from 程序版本"), error);
    if (!Database::exec(query, error)) {
        return false;
    }
    // Of several rows (none is ever written) the newest counts.
    while (query.next()) {
        const QVersionNumber version = QVersionNumber::fromString(query.value(0).toString());
        if (version > *recorded) {
            *recorded = version;
        }
    }
    return true;
}

QString VersionMark::refusal(const QVersionNumber& recorded, const QVersionNumber& program)
{
    if (recorded.isNull() || recorded <= program) {
        return {};
    }
    return QStringLiteral("此数据库已由较新版本（版本 %1）的程序升级，请安装该版本或更新的程序。")
        .arg(recorded.toString());
}

QByteArray VersionMark::script(const QVersionNumber& program)
{
    // The version is the program's own digits and dots, never an operator's
    // text: it may stand in the script.
    return "create table if not exists 程序版本 (版本 text not null);\n"
           "delete from 程序版本;\n"
           "insert into 程序版本 (版本) values ('" +
           program.toString().toLatin1() + "');\n";
}

bool VersionMark::write(const QVersionNumber& program, QString* error)
{
    return Database::runScript(script(program).constData(), error);
}

QString VersionMark::refusalFor(const QVersionNumber& program)
{
    QVersionNumber recorded;
    return read(&recorded) ? refusal(recorded, program) : QString();
}

bool VersionMark::recordIfOlder(const QVersionNumber& program, QString* error)
{
    QVersionNumber recorded;
    if (!read(&recorded, error)) {
        return false;
    }
    if (!recorded.isNull() && recorded >= program) {
        return true;
    }
    return write(program, error);
}

} // namespace brenvoll
