// The gates of the main window's commands, through the real window: for each
// role every menu item and toolbar face is enabled exactly as the role's
// rights say, and a refused command reached anyway (its shortcut, or the item
// of a menu left enabled) runs nothing and tells the operator why.
#include "MainWindowParts.h"
#include "TestSupport.h"
#include "accounts/AccountStore.h"
#include "accounts/Session.h"
#include "base/Clock.h"
#include "mainwindow/MainWindow.h"
#include "record/RecordStore.h"
#include "record/ResultModel.h"
#include "ui/MessageBox.h"

#include <QAction>
#include <QApplication>
#include <QFrame>
#include <QMenuBar>
#include <QTest>

using namespace brenvoll;

namespace {
const QString kKey = QStringLiteral("20160507080000");

QStringList texts(const QList<MessageBox::Shown>& shown)
{
    QStringList list;
    for (const auto& s : shown) {
        list << s.text;
    }
    return list;
}

// The windows of their own open now, but the main window.
QStringList openWindows(const QWidget* main)
{
    QStringList open;
    for (QWidget* window : QApplication::topLevelWidgets()) {
        if (window != main && window->isVisible()) {
            open << window->objectName() + u'/' + QString::fromLatin1(window->metaObject()->className());
        }
    }
    return open;
}
} // namespace

class CommandGatesTest : public QObject
{
    Q_OBJECT
    std::unique_ptr<test::TestFolder> m_folder;
    std::unique_ptr<MainWindow> m_form;

private slots:
    void init()
    {
        MessageBox::setAnswerMode(true);
        Clock::setFixed(QDateTime(QDate(2016, 5, 9), QTime(8, 0)));
        Session::end();
        m_folder = std::make_unique<test::TestFolder>();
        QVERIFY(m_folder->open());
    }
    void cleanup()
    {
        for (QWidget* window : QApplication::topLevelWidgets()) {
            if (window != m_form.get()) {
                window->close();
            }
        }
        m_form.reset();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        Session::end();
        m_folder.reset();
        Clock::reset();
    }

    void gatesFollowTheRole_data()
    {
        QTest::addColumn<QString>("userName"); // empty: the shared password, no accounts
        QTest::addColumn<QStringList>("refused");
        const QStringList administrators = {QStringLiteral("综合设置"), QStringLiteral("恢复备份…"),
                                            QStringLiteral("用户管理…")};
        QTest::newRow("shared password")
            << QString() << QStringList{QStringLiteral("修改我的密码…"), QStringLiteral("锁定")};
        QTest::newRow("录入员") << QStringLiteral("clerk")
                                << QStringList{QStringLiteral("删除"), QStringLiteral("已删除的记录…")} +
                                       administrators;
        QTest::newRow("医生") << QStringLiteral("doctor") << administrators;
        QTest::newRow("管理员") << QStringLiteral("admin") << QStringList();
    }

    void gatesFollowTheRole()
    {
        QFETCH(QString, userName);
        QFETCH(QStringList, refused);
        if (!userName.isEmpty()) {
            QString error;
            QVERIFY2(AccountStore::add(QStringLiteral("admin"), QStringLiteral("张主任"), Role::Administrator,
                                       QStringLiteral("adminpw1"), &error),
                     qPrintable(error));
            QVERIFY(AccountStore::add(QStringLiteral("clerk"), QStringLiteral("王录入"), Role::Clerk,
                                      QStringLiteral("clerkpw1"), &error));
            QVERIFY(AccountStore::add(QStringLiteral("doctor"), QStringLiteral("李医生"), Role::Doctor,
                                      QStringLiteral("doctorpw1"), &error));
            Session::begin(AccountStore::find(userName).value());
        }
        QVERIFY(
            RecordStore::save(test::makeRecord(kKey, QStringLiteral("张三"), QStringLiteral("2016-05-07"))));
        m_form = std::make_unique<MainWindow>();
        MainWindow& form = *m_form;
        form.loadOnStart();
        form.show();
        QApplication::setActiveWindow(&form);
        QVERIFY(QTest::qWaitForWindowActive(&form));
        QVERIFY(MessageBox::takeShown().isEmpty());

        // Every row's menu item and toolbar face: disabled exactly when refused.
        QStringList disabled;
        int items = 0;
        for (const CommandRow& row : form.commands().rows()) {
            if (!row.menu.isEmpty()) {
                auto* action = form.findChild<QAction*>(row.objectName());
                QVERIFY2(action, qPrintable(row.objectName()));
                ++items;
                if (!action->isEnabled()) {
                    disabled << row.text;
                }
            }
            if (row.button.index >= 0) {
                auto* face = form.findChild<QFrame*>(QStringLiteral("Picture4_%1").arg(row.button.index));
                QVERIFY(face);
                QCOMPARE(face->isEnabled(), !refused.contains(row.text));
            }
        }
        QCOMPARE(items, 23);
        disabled.sort();
        refused.sort();
        QCOMPARE(disabled, refused);

        // Reached anyway, a refused command runs nothing: the menu left
        // enabled (as if the gates were stale), its shortcut or its item.
        test::fromDate(form)->setText(QStringLiteral("2016-01-01"));
        form.search();
        form.selectLine(form.results()->lineOf(kKey));
        const QStringList windows = openWindows(&form);
        const auto refusedRun = [&form, &windows](const QString& command) {
            QCOMPARE(texts(MessageBox::takeShown()), QStringList{Session::refusal()});
            QCOMPARE(openWindows(&form), windows);
            QVERIFY2(RecordStore::load(kKey, *std::make_unique<ExamRecord>()), qPrintable(command));
            QVERIFY(!test::accountCommands(form).lockWindow());
            QVERIFY(!form.centralWidget()->isHidden());
        };
        for (const CommandRow& row : form.commands().rows()) {
            if (!refused.contains(row.text)) {
                continue;
            }
            auto* action = form.findChild<QAction*>(row.objectName());
            action->setEnabled(true);
            if (row.shortcut.isEmpty()) {
                action->trigger();
            } else {
                QWidget* focus = QApplication::focusWidget();
                QTest::keySequence(focus ? focus : &form, row.shortcut);
            }
            refusedRun(row.text);
            if (QTest::currentTestFailed()) {
                return;
            }
            if (row.button.index >= 0) {
                form.findChild<QFrame*>(QStringLiteral("Picture4_%1").arg(row.button.index))
                    ->setEnabled(true);
                auto* cover = form.findChild<QWidget*>(QStringLiteral("Label18_%1").arg(row.button.index));
                QTest::mouseClick(cover, Qt::LeftButton);
                refusedRun(row.text + QStringLiteral(" button"));
            }
        }
    }
};

QTEST_MAIN(CommandGatesTest)
#include "tst_command_gates.moc"
