// The build's database tool writes the delivered database once and never
// replaces one that exists.
#include "PgServer.h"

#include <QFile>
#include <QProcess>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTest>

namespace {
int runTool(const QString& out)
{
    return QProcess::execute(QString::fromUtf8(BRENVOLL_MKDB), {QString::fromUtf8(BRENVOLL_SCHEMA), out});
}

QVariant scalar(const QString& file, const QString& sql)
{
    QVariant value;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("probe"));
        db.setDatabaseName(file);
        if (db.open()) {
            QSqlQuery q(db);
            if (q.exec(sql) && q.next()) {
                value = q.value(0);
            }
        }
    }
    QSqlDatabase::removeDatabase(QStringLiteral("probe"));
    return value;
}
} // namespace

class TestMkdb : public QObject
{
    Q_OBJECT
private slots:
    void writesTheDeliveredTables()
    {
        QTemporaryDir dir;
        const QString out = dir.filePath(QStringLiteral("数据库.db"));
        QCOMPARE(runTool(out), 0);
        QCOMPARE(scalar(out, QStringLiteral("select count(*) from 设置")).toInt(), 1);
        QCOMPARE(scalar(out, QStringLiteral(
                                 "select 密码 || '|' || 路径 || '|' || 左边距 || '|' || 上边距 from 设置"))
                     .toString(),
                 QStringLiteral("864||0|0"));
        QVERIFY(scalar(out, QStringLiteral("select count(*) from 词库")).toInt() >= 10);
        QCOMPARE(scalar(out, QStringLiteral("select count(*) from pragma_table_info('档案')")).toInt(), 52);
        QCOMPARE(scalar(out, QStringLiteral("select count(*) from 档案")).toInt(), 0);
        // The operators' accounts' tables, without an account: accounts off.
        QCOMPARE(scalar(out, QStringLiteral("select count(*) from 账户")).toInt(), 0);
        QCOMPARE(scalar(out, QStringLiteral("select count(*) from 账户设置")).toInt(), 0);
        QCOMPARE(scalar(out, QStringLiteral("select count(*) from 登录记录")).toInt(), 0);
        QCOMPARE(QFile::permissions(out) & (QFileDevice::ReadGroup | QFileDevice::ReadOther |
                                            QFileDevice::WriteGroup | QFileDevice::WriteOther),
                 QFileDevice::Permissions());
        QVERIFY(!QFile::exists(out + QStringLiteral(".new")));
    }

    void keepsADatabaseThatIsThere()
    {
        QTemporaryDir dir;
        const QString out = dir.filePath(QStringLiteral("数据库.db"));
        QCOMPARE(runTool(out), 0);
        QCOMPARE(
            scalar(out, QStringLiteral("insert into 档案 (序列号, 姓名) values ('20160507080000', '张三') "
                                       "returning 序列号"))
                .toString(),
            QStringLiteral("20160507080000"));
        QCOMPARE(runTool(out), 0);
        QCOMPARE(scalar(out, QStringLiteral("select 姓名 from 档案")).toString(), QStringLiteral("张三"));
    }

    // On a server the tool fills an empty database with the same tables,
    // settings row and phrases, and refuses one that has them already.
    void createsTheTablesOnAServer()
    {
        BRENVOLL_PG_DATABASE(conninfo);
        const auto tool = [&] {
            return QProcess::execute(QString::fromUtf8(BRENVOLL_MKDB),
                                     {QStringLiteral("--postgresql"), conninfo});
        };
        QCOMPARE(tool(), 0);
        QTemporaryDir dir;
        const QString file = dir.filePath(QStringLiteral("数据库.db"));
        QCOMPARE(runTool(file), 0);
        const QString columns = QStringLiteral("select count(*) from information_schema.columns "
                                               "where table_name = '档案'");
        const QString settings =
            QStringLiteral("select 密码 || '|' || 路径 || '|' || 左边距 || '|' || 上边距 "
                           "from 设置");
        const QString phrases = QStringLiteral("select string_agg(常用语, '|' order by rowid) from 词库");
        {
            QSqlDatabase db = brenvoll::test::PgServer::connect(conninfo, QStringLiteral("server"));
            const auto value = [&](const QString& sql) {
                QSqlQuery q(db);
                return q.exec(sql) && q.next() ? q.value(0) : QVariant();
            };
            QCOMPARE(value(columns).toInt(), 52);
            // The kept versions: 档案's columns and the stamp, on both engines.
            QCOMPARE(value(QStringLiteral("select count(*) from information_schema.columns "
                                          "where table_name = '档案版本'"))
                         .toInt(),
                     57);
            QCOMPARE(
                scalar(file, QStringLiteral("select count(*) from pragma_table_info('档案版本')")).toInt(),
                57);
            QCOMPARE(
                scalar(file, QStringLiteral("select count(*) from sqlite_master where name = '档案恢复'"))
                    .toInt(),
                1);
            QCOMPARE(value(settings).toString(), QStringLiteral("864||0|0"));
            QCOMPARE(value(phrases).toString(),
                     scalar(file, QStringLiteral("select group_concat(常用语, '|') from 词库")).toString());
            QVERIFY(
                value(QStringLiteral("insert into 档案 (序列号) values ('1') returning 序列号")).isValid());
            QVERIFY(
                !value(QStringLiteral("insert into 档案 (序列号) values ('1') returning 序列号")).isValid());

            QCOMPARE(tool(), 1);
            QCOMPARE(value(QStringLiteral("select count(*) from 设置")).toInt(), 1);
            QCOMPARE(value(QStringLiteral("select count(*) from 档案")).toInt(), 1);
        }
        QSqlDatabase::removeDatabase(QStringLiteral("server"));
    }

    // brenvoll-migrate copies records, the settings row and the phrases of a
    // file whole into a new server database, and never into one with records.
    void migratesAFileToAServer()
    {
        BRENVOLL_PG_PROGRAM_DATABASE(conninfo);
        QTemporaryDir dir;
        const QString file = dir.filePath(QStringLiteral("数据库.db"));
        QCOMPARE(runTool(file), 0);
        const QString odd = QStringLiteral("制表\t换行\n回车\r反斜杠\\ 'quote' \\N");
        for (const QString& sql :
             {QStringLiteral("insert into 档案 (序列号, 姓名, 日期, \"45\") values ('20160507080000', '%1', "
                             "'2016-05-07', "
                             "'结论')")
                  .arg(QString(odd).replace(u'\'', QStringLiteral("''"))),
              QStringLiteral("insert into 档案 (序列号, 姓名) values ('20160507090000', null)"),
              QStringLiteral("update 设置 set 密码 = 'abc', 路径 = '/备份'"),
              QStringLiteral("delete from 词库 where rowid % 2 = 0"),
              QStringLiteral("insert into 词库 (常用语) values ('新的常用语')"),
              QStringLiteral(
                  "insert into 档案版本 (版本号, 时间, 操作, 工作站, 操作员, 序列号, 姓名) values "
                  "(7, '2016-05-07 08:00:00', '删除', '前台', '（共用密码）', '20160507070000', '旧')"),
              QStringLiteral(
                  "insert into 档案恢复 values (7, '20160507070000', '2016-05-08 08:00:00', '前台', "
                  "'（共用密码）')"),
              QStringLiteral("insert into 账户 values ('wang', '王五', '管理员', 0, '$argon2id$v=19$x', "
                             "'2016-05-08 08:00:00')"),
              QStringLiteral("insert into 账户设置 values ('账户登录', '1')"),
              QStringLiteral(
                  "insert into 登录记录 values (4, '2016-05-08 08:00:00', 'wang', '前台', '登录')")}) {
            scalar(file, sql);
        }
        const auto migrate = [&] {
            return QProcess::execute(QString::fromUtf8(BRENVOLL_MIGRATE), {file, conninfo});
        };
        QCOMPARE(migrate(), 0);
        {
            QSqlDatabase db = brenvoll::test::PgServer::connect(conninfo, QStringLiteral("server"));
            const auto value = [&](const QString& sql) {
                QSqlQuery q(db);
                return q.exec(sql) && q.next() ? q.value(0) : QVariant();
            };
            QCOMPARE(value(QStringLiteral("select count(*) from 档案")).toInt(), 2);
            QCOMPARE(
                value(QStringLiteral("select 姓名 || \"45\" from 档案 where 日期 = '2016-05-07'")).toString(),
                odd + QStringLiteral("结论"));
            QVERIFY(value(QStringLiteral("select 姓名 is null from 档案 where 序列号 = '20160507090000'"))
                        .toBool());
            QCOMPARE(value(QStringLiteral("select 密码 || 路径 from 设置")).toString(),
                     QStringLiteral("abc/备份"));
            QCOMPARE(
                value(QStringLiteral("select string_agg(常用语, '|' order by rowid) from 词库")).toString(),
                scalar(file, QStringLiteral("select group_concat(常用语, '|') from 词库")).toString());

            // The kept versions come along, and the next one is numbered after them.
            QCOMPARE(value(QStringLiteral("select 工作站 || 姓名 from 档案版本 where 版本号 = 7")).toString(),
                     QStringLiteral("前台旧"));
            QCOMPARE(value(QStringLiteral("select count(*) from 档案恢复")).toInt(), 1);
            QCOMPARE(value(QStringLiteral("insert into 档案版本 (时间, 操作, 工作站, 操作员, 序列号) values "
                                          "('', '修改', '', '', '1') returning 版本号"))
                         .toInt(),
                     8);

            // So do the accounts, their switch and the login record.
            QCOMPARE(value(QStringLiteral("select 姓名 || 角色 || 密码散列 from 账户")).toString(),
                     QStringLiteral("王五管理员$argon2id$v=19$x"));
            QCOMPARE(value(QStringLiteral("select 值 from 账户设置 where 项目 = '账户登录'")).toString(),
                     QStringLiteral("1"));
            QCOMPARE(value(QStringLiteral("insert into 登录记录 (时间, 用户名, 工作站, 结果) values "
                                          "('', '', '', '') returning 编号"))
                         .toInt(),
                     5);

            scalar(file, QStringLiteral("insert into 档案 (序列号) values ('20170101080000')"));
            QCOMPARE(migrate(), 1);
            QCOMPARE(value(QStringLiteral("select count(*) from 档案")).toInt(), 2);
            QCOMPARE(value(QStringLiteral("select count(*) from 设置")).toInt(), 1);
        }
        QSqlDatabase::removeDatabase(QStringLiteral("server"));
    }
};

QTEST_GUILESS_MAIN(TestMkdb)
#include "tst_mkdb.moc"
