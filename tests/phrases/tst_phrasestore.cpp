// The phrase library on a real copy of the delivered database.
#include "TestSupport.h"
#include "phrases/PhraseStore.h"
#include "storage/Database.h"

#include <QTest>

using namespace brenvoll;

namespace {
QList<qint64> rowidsOf(const QString& phrase)
{
    QList<qint64> ids;
    QSqlQuery query =
        Database::prepare(QStringLiteral("select rowid from 词库 where 常用语 = ? order by rowid"));
    query.addBindValue(phrase);
    if (Database::exec(query)) {
        while (query.next()) {
            ids << query.value(0).toLongLong();
        }
    }
    return ids;
}
} // namespace

class PhraseStoreTest : public QObject
{
    Q_OBJECT
private:
    std::unique_ptr<test::TestFolder> m_folder;
    QStringList m_delivered;

private slots:
    void init()
    {
        m_folder = std::make_unique<test::TestFolder>();
        QVERIFY(m_folder->open());
        QVERIFY(PhraseStore::add(QStringLiteral("患者's 记录")));
        QVERIFY(PhraseStore::all(m_delivered));
    }
    void cleanup() { m_folder.reset(); }

    void addKeepsTextAndRowOrder()
    {
        const QStringList added = {QStringLiteral(" 前有空格"), QStringLiteral("后有空格  "),
                                   QStringLiteral("　　"), QStringLiteral("正常")};
        for (const QString& phrase : added) {
            QVERIFY(PhraseStore::add(phrase));
        }
        QStringList phrases;
        QVERIFY(PhraseStore::all(phrases));
        QCOMPARE(phrases, m_delivered + added);
        QCOMPARE(phrases.count(QStringLiteral("正常")), 2);
    }

    void matching_data()
    {
        QTest::addColumn<QString>("filter");
        QTest::addColumn<QStringList>("expected");
        QTest::newRow("one character") << QStringLiteral("肺")
                                       << QStringList{QStringLiteral("双肺呼吸音清，未闻及干湿啰音"),
                                                      QStringLiteral("双肺纹理清晰，心膈未见异常")};
        QTest::newRow("no match") << QStringLiteral("骨折") << QStringList{};
        QTest::newRow("apostrophe is literal")
            << QStringLiteral("'s") << QStringList{QStringLiteral("患者's 记录")};
        QTest::newRow("lone apostrophe") << QStringLiteral("'") << QStringList{QStringLiteral("患者's 记录")};
        QTest::newRow("percent is a wildcard")
            << QStringLiteral("血%偏高")
            << QStringList{QStringLiteral("血压偏高，建议低盐饮食，定期监测血压"),
                           QStringLiteral("血糖偏高，建议控制饮食，复查空腹血糖"),
                           QStringLiteral("血脂偏高，建议低脂饮食，适量运动")};
        QTest::newRow("underscore is a wildcard")
            << QStringLiteral("双_听") << QStringList{QStringLiteral("双耳听力正常")};
    }
    void matching()
    {
        QFETCH(QString, filter);
        QFETCH(QStringList, expected);
        QStringList phrases{QStringLiteral("stale")};
        QVERIFY(PhraseStore::matching(filter, phrases));
        QCOMPARE(phrases, expected);
    }

    void emptyFilterMatchesAll()
    {
        QStringList phrases;
        QVERIFY(PhraseStore::matching(QString(), phrases));
        QCOMPARE(phrases, m_delivered);
    }

    void removeAtTakesExactlyThatOccurrence()
    {
        const QString same = QStringLiteral("同一句话");
        for (int i = 0; i < 3; ++i) {
            QVERIFY(PhraseStore::add(same));
            QVERIFY(PhraseStore::add(QStringLiteral("隔开") + QString::number(i)));
        }
        const QList<qint64> before = rowidsOf(same);
        QCOMPARE(before.size(), 3);
        // The third equal phrase stands at delivered + 4 (after 同, 隔开0, 同, 隔开1).
        QVERIFY(PhraseStore::removeAt(int(m_delivered.size()) + 4));
        QCOMPARE(rowidsOf(same), (QList<qint64>{before[0], before[1]}));
        QStringList phrases;
        QVERIFY(PhraseStore::all(phrases));
        QCOMPARE(phrases.mid(m_delivered.size()),
                 (QStringList{same, QStringLiteral("隔开0"), same, QStringLiteral("隔开1"),
                              QStringLiteral("隔开2")}));
    }

    void removeAtOutsideTheTableChangesNothing()
    {
        QString error;
        QVERIFY(!PhraseStore::removeAt(int(m_delivered.size()), &error));
        QVERIFY(!error.isEmpty());
        QVERIFY(!PhraseStore::removeAt(-1));
        QStringList phrases;
        QVERIFY(PhraseStore::all(phrases));
        QCOMPARE(phrases, m_delivered);
    }

    void failuresAreReported()
    {
        Database::close();
        QString error;
        QVERIFY(!PhraseStore::add(QStringLiteral("正常"), &error));
        QVERIFY(!error.isEmpty());
        QStringList phrases;
        QVERIFY(!PhraseStore::matching(QStringLiteral("正"), phrases));
        QVERIFY(phrases.isEmpty());
    }
};

QTEST_MAIN(PhraseStoreTest)
#include "tst_phrasestore.moc"
