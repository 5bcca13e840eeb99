// The settings record, its in-memory copy in the settings window, and the
// window's save, browse and password change, on a real copy of the database.
#include "TabStops.h"
#include "TestSupport.h"
#include "settings/CurrentSettings.h"
#include "settings/SettingsStore.h"
#include "settings/SettingsWindow.h"
#include "storage/Database.h"
#include "ui/MessageBox.h"

#include <QLineEdit>
#include <QPushButton>
#include <QtTest>

#include <memory>

using namespace brenvoll;

class SettingsTest : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<test::TestFolder> m_folder;

    static Settings stored()
    {
        Settings settings;
        [&] { QVERIFY(SettingsStore::read(settings)); }();
        return settings;
    }
    void store(const QString& password, const QString& folder, const QString& left, const QString& top)
    {
        QVERIFY(SettingsStore::writePassword(password));
        QVERIFY(SettingsStore::writeFolderAndMargins(folder, left, top));
    }
    void runSql(const QString& sql)
    {
        QSqlQuery query = Database::prepare(sql);
        QVERIFY2(Database::exec(query), qPrintable(sql));
    }
    // Every update of 设置 fails from now on, as on a full or locked disk.
    void refuseWrites()
    {
        if (test::onServer()) {
            QSqlQuery query(Database::connection());
            QVERIFY(
                query.exec(QStringLiteral("create function no_write() returns trigger language plpgsql as "
                                          "$$ begin raise exception 'disk full'; end $$")));
            QVERIFY(query.exec(QStringLiteral("create trigger no_write before update on 设置 for each row "
                                              "execute function no_write()")));
            return;
        }
        runSql(QStringLiteral("create trigger no_write before update on 设置 begin "
                              "select raise(abort, 'disk full'); end"));
    }
    static void flushDeletes() { QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete); }

private slots:
    void init()
    {
        MessageBox::setAnswerMode(true);
        m_folder = std::make_unique<test::TestFolder>();
        QVERIFY(m_folder->open());
        store(QStringLiteral("864"), QStringLiteral("/备份/体检"), QStringLiteral("12"),
              QStringLiteral("20"));
    }

    void cleanup()
    {
        delete SettingsWindow::loaded();
        CurrentSettings::drop();
        flushDeletes();
        m_folder.reset();
    }

    void margins_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<double>("millimetres");
        QTest::newRow("unit typed after it") << "15mm" << 15.0;
        QTest::newRow("no number") << "abc" << 0.0;
        QTest::newRow("blank inside the number") << "1 5" << 15.0;
        QTest::newRow("decimal then letters") << "12.5ab" << 12.5;
        QTest::newRow("empty") << "" << 0.0;
        QTest::newRow("blanks around") << "  7.25 " << 7.25;
        QTest::newRow("second point ends it") << "1.2.3" << 1.2;
        QTest::newRow("comma is no decimal point") << "3,5" << 3.0;
        QTest::newRow("negative") << "-4" << -4.0;
        QTest::newRow("exponent") << "1e1" << 10.0;
        QTest::newRow("exponent with D and sign") << "25d-1" << 2.5;
        QTest::newRow("hexadecimal") << "&H10" << 16.0;
        QTest::newRow("hexadecimal, 16-bit signed") << "&hFFFF" << -1.0;
        QTest::newRow("octal") << "&O17" << 15.0;
        QTest::newRow("carriage return is no blank") << "1\r5" << 1.0;
        QTest::newRow("line feed and tab are") << "1\n\t5" << 15.0;
    }
    void margins()
    {
        QFETCH(QString, text);
        QFETCH(double, millimetres);
        QCOMPARE(SettingsStore::marginMillimetres(text), millimetres);
        QVERIFY(qAbs(SettingsStore::marginTwips(text) - millimetres * 56.7) < 0.01);
    }

    void marginsStoredAsTyped()
    {
        SettingsWindow* window = SettingsWindow::showWindow();
        window->leftMarginBox()->setText(QStringLiteral("15mm"));
        window->topMarginBox()->setText(QStringLiteral("abc"));
        QTest::mouseClick(window->saveButton(), Qt::LeftButton);
        QVERIFY(MessageBox::takeShown().isEmpty());
        QCOMPARE(stored().leftMargin, QStringLiteral("15mm"));
        QCOMPARE(stored().topMargin, QStringLiteral("abc"));
        QVERIFY(!SettingsWindow::loaded());
        // The next reader gets the saved texts, read as 15 and 0 millimetres.
        QCOMPARE(SettingsStore::marginTwips(SettingsWindow::get()->leftMarginText()),
                 double(float(15 * 56.7)));
        QCOMPARE(SettingsStore::marginTwips(SettingsWindow::get()->topMarginText()), 0.0);
    }

    // Printing, the backup and restore read the copy without loading the
    // window; the window, once loaded, edits that same copy.
    void copyReadWithoutTheWindow()
    {
        CurrentSettings::drop();
        QCOMPARE(CurrentSettings::get().backupFolder(), QStringLiteral("/备份/体检"));
        QCOMPARE(CurrentSettings::get().leftMarginTwips(), SettingsStore::marginTwips(QStringLiteral("12")));
        QVERIFY(!SettingsWindow::loaded());
        store(QStringLiteral("864"), QStringLiteral("/else"), QStringLiteral("1"), QStringLiteral("2"));
        QCOMPARE(CurrentSettings::get().topMarginText(), QStringLiteral("20"));

        SettingsWindow* window = SettingsWindow::showWindow();
        QCOMPARE(window->topMarginBox()->text(), QStringLiteral("20"));
        window->topMarginBox()->setText(QStringLiteral("7"));
        QCOMPARE(CurrentSettings::get().topMarginText(), QStringLiteral("7"));
        QTest::mouseClick(window->exitButton(), Qt::LeftButton);
        QVERIFY(!CurrentSettings::isLoaded());
        QCOMPARE(CurrentSettings::get().topMarginText(), QStringLiteral("2"));
        QCOMPARE(CurrentSettings::get().backupFolder(), QStringLiteral("/else"));
    }

    // With the record unreadable the copy has no folder and says why, until
    // the operator types one: that folder is then the copy's.
    void folderTypedAfterAFailedRead()
    {
        runSql(QStringLiteral("delete from 设置"));
        QVERIFY(!CurrentSettings::reload().readError().isNull());
        QVERIFY(!CurrentSettings::get().loadError().isNull());
        QCOMPARE(CurrentSettings::get().backupFolder(), QString());
        QCOMPARE(CurrentSettings::get().leftMarginTwips(), 0.0);

        SettingsWindow* window = SettingsWindow::showWindow();
        QCOMPARE(MessageBox::takeShown().size(), 1);
        QTest::keyClicks(window->backupFolderBox(), QStringLiteral("/typed"));
        QCOMPARE(CurrentSettings::get().loadError(), QString());
        QCOMPARE(CurrentSettings::get().backupFolder(), QStringLiteral("/typed"));
        QCOMPARE(window->loadError(), QString());
    }

    void readingLoadsHidden()
    {
        QVERIFY(!SettingsWindow::loaded());
        SettingsWindow* window = SettingsWindow::get();
        QVERIFY(SettingsWindow::loaded() == window);
        QVERIFY(!window->isVisible());
        QCOMPARE(window->backupFolder(), QStringLiteral("/备份/体检"));
        QCOMPARE(window->leftMarginText(), QStringLiteral("12"));
        QCOMPARE(window->topMarginText(), QStringLiteral("20"));
        // Loaded once: a later change of the table does not reach the copy,
        // and showing the window shows the copy as it is.
        store(QStringLiteral("864"), QStringLiteral("/else"), QStringLiteral("1"), QStringLiteral("2"));
        QCOMPARE(SettingsWindow::get()->leftMarginText(), QStringLiteral("12"));
        QVERIFY(SettingsWindow::showWindow() == window);
        QCOMPARE(window->backupFolderBox()->text(), QStringLiteral("/备份/体检"));
    }

    void unsavedTextsCountUntilExit()
    {
        SettingsWindow* window = SettingsWindow::showWindow();
        window->backupFolderBox()->setText(QStringLiteral("/新/文件夹"));
        window->leftMarginBox()->setText(QStringLiteral("30"));
        QCOMPARE(SettingsWindow::get()->backupFolder(), QStringLiteral("/新/文件夹"));
        QCOMPARE(SettingsWindow::get()->leftMarginText(), QStringLiteral("30"));

        QTest::mouseClick(window->exitButton(), Qt::LeftButton); // 退 出
        QVERIFY(!SettingsWindow::loaded());
        QCOMPARE(stored().folder, QStringLiteral("/备份/体检"));
        QCOMPARE(SettingsWindow::get()->backupFolder(), QStringLiteral("/备份/体检"));
        QCOMPARE(SettingsWindow::get()->leftMarginText(), QStringLiteral("12"));
    }

    void closingDropsTheCopy()
    {
        SettingsWindow* window = SettingsWindow::showWindow();
        window->topMarginBox()->setText(QStringLiteral("99"));
        QTest::keyClick(window->topMarginBox(), Qt::Key_Escape);
        QVERIFY(!SettingsWindow::loaded());
        QCOMPARE(SettingsWindow::get()->topMarginText(), QStringLiteral("20"));
        SettingsWindow::get()->close();
        QVERIFY(!SettingsWindow::loaded());
    }

    void saveStoresAndUnloads()
    {
        SettingsWindow* window = SettingsWindow::showWindow();
        window->backupFolderBox()->setText(QStringLiteral(" /带 空格/ "));
        window->leftMarginBox()->setText(QString());
        QTest::mouseClick(window->saveButton(), Qt::LeftButton);
        QVERIFY(MessageBox::takeShown().isEmpty());
        QVERIFY(!SettingsWindow::loaded());
        QCOMPARE(stored().folder, QStringLiteral(" /带 空格/ "));
        QCOMPARE(stored().leftMargin, QString(""));
        QCOMPARE(stored().password, QStringLiteral("864"));
    }

    void failedSaveKeepsTheWindow()
    {
        SettingsWindow* window = SettingsWindow::showWindow();
        refuseWrites();
        window->backupFolderBox()->setText(QStringLiteral("/typed"));
        window->leftMarginBox()->setText(QStringLiteral("33"));
        QTest::mouseClick(window->saveButton(), Qt::LeftButton);
        const auto shown = MessageBox::takeShown();
        QCOMPARE(shown.size(), 1);
        QVERIFY2(shown[0].text.startsWith(QStringLiteral("设置没有保存")), qPrintable(shown[0].text));
        QVERIFY2(shown[0].text.contains(QStringLiteral("disk full")), qPrintable(shown[0].text));
        QCOMPARE(shown[0].buttons, QMessageBox::StandardButtons(QMessageBox::Ok));
        QVERIFY(SettingsWindow::loaded() == window);
        QVERIFY(window->isVisible());
        QCOMPARE(window->backupFolderBox()->text(), QStringLiteral("/typed"));
        QCOMPARE(window->leftMarginBox()->text(), QStringLiteral("33"));
        QCOMPARE(stored().folder, QStringLiteral("/备份/体检"));
    }

    void passwordChange_data()
    {
        QTest::addColumn<QString>("before");
        QTest::addColumn<QString>("oldTyped");
        QTest::addColumn<QString>("newTyped");
        QTest::addColumn<QString>("message");
        QTest::addColumn<QString>("after");
        const QString empty = QStringLiteral("请输入新密码！");
        const QString wrong = QStringLiteral("原密码不正确，无法修改密码！");
        const QString done = QStringLiteral("修改密码成功，请牢记新密码！");
        QTest::newRow("changed") << "864"
                                 << "864"
                                 << "Abc1" << done << "Abc1";
        QTest::newRow("blanks around both entries") << "864"
                                                    << "  864 "
                                                    << "  neu 7 " << done << "neu 7";
        QTest::newRow("empty new password") << "864"
                                            << "864"
                                            << "" << empty << "864";
        QTest::newRow("blank new password") << "864"
                                            << "864"
                                            << "    " << empty << "864";
        QTest::newRow("letter case counts") << "Abc1"
                                            << "abc1"
                                            << "x" << wrong << "Abc1";
        QTest::newRow("stored blank counts") << " 864"
                                             << "864"
                                             << "x" << wrong << " 864";
        QTest::newRow("wrong old password") << "864"
                                            << "865"
                                            << "x" << wrong << "864";
        QTest::newRow("empty old password") << "864"
                                            << ""
                                            << "x" << wrong << "864";
    }
    void passwordChange()
    {
        QFETCH(QString, before);
        QFETCH(QString, oldTyped);
        QFETCH(QString, newTyped);
        QFETCH(QString, message);
        QFETCH(QString, after);
        QVERIFY(SettingsStore::writePassword(before));

        SettingsWindow* window = SettingsWindow::showWindow();
        QTest::keyClicks(window->oldPasswordBox(), oldTyped);
        QTest::keyClicks(window->newPasswordBox(), newTyped);
        QTest::mouseClick(window->changePasswordButton(), Qt::LeftButton);

        const auto shown = MessageBox::takeShown();
        QCOMPARE(shown.size(), 1);
        QCOMPARE(shown[0].text, message);
        QCOMPARE(shown[0].icon, QMessageBox::NoIcon);
        QCOMPARE(shown[0].buttons, QMessageBox::StandardButtons(QMessageBox::Ok));
        QCOMPARE(stored().password, after);
        if (message == QStringLiteral("修改密码成功，请牢记新密码！")) {
            QVERIFY(!SettingsWindow::loaded());
        } else {
            QVERIFY(SettingsWindow::loaded() == window);
            QVERIFY(window->isVisible());
            QCOMPARE(window->oldPasswordBox()->text(), oldTyped);
            QCOMPARE(window->newPasswordBox()->text(), newTyped);
        }
    }

    void passwordChangeKeepsEditedFolderOut()
    {
        SettingsWindow* window = SettingsWindow::showWindow();
        window->backupFolderBox()->setText(QStringLiteral("/没保存"));
        window->leftMarginBox()->setText(QStringLiteral("77"));
        window->oldPasswordBox()->setText(QStringLiteral("864"));
        window->newPasswordBox()->setText(QStringLiteral("new"));
        window->changePassword();
        QCOMPARE(MessageBox::takeShown().size(), 1);
        QCOMPARE(stored().password, QStringLiteral("new"));
        QCOMPARE(stored().folder, QStringLiteral("/备份/体检"));
        QCOMPARE(stored().leftMargin, QStringLiteral("12"));
        QCOMPARE(SettingsWindow::get()->backupFolder(), QStringLiteral("/备份/体检"));
    }

    void failedPasswordWriteSaysSo()
    {
        SettingsWindow* window = SettingsWindow::showWindow();
        refuseWrites();
        window->oldPasswordBox()->setText(QStringLiteral("864"));
        window->newPasswordBox()->setText(QStringLiteral("new"));
        window->changePassword();
        const auto shown = MessageBox::takeShown();
        QCOMPARE(shown.size(), 1);
        QVERIFY2(shown[0].text.startsWith(QStringLiteral("新密码没有保存")), qPrintable(shown[0].text));
        QCOMPARE(stored().password, QStringLiteral("864"));
        QVERIFY(SettingsWindow::loaded() == window);
        QVERIFY(window->isVisible());
    }

    void browse()
    {
        SettingsWindow* window = SettingsWindow::showWindow();
        FileDialogs::queuePath(QString()); // cancelled
        QTest::mouseClick(window->browseButton(), Qt::LeftButton);
        QCOMPARE(window->backupFolderBox()->text(), QStringLiteral("/备份/体检"));

        FileDialogs::queuePath(QStringLiteral("/tmp/选中的/"));
        QTest::mouseClick(window->browseButton(), Qt::LeftButton);
        QCOMPARE(window->backupFolderBox()->text(), QStringLiteral("/tmp/选中的"));
        QCOMPARE(window->backupFolderBox()->cursorPosition(), window->backupFolderBox()->text().size());
        QCOMPARE(window->focusWidget(), window->backupFolderBox());
        QCOMPARE(stored().folder, QStringLiteral("/备份/体检")); // only save stores it

        FileDialogs::queuePath(QStringLiteral("/"));
        window->browseForFolder();
        QCOMPARE(window->backupFolderBox()->text(), QStringLiteral("/"));
    }

    void layout()
    {
        SettingsWindow* window = SettingsWindow::showWindow();
        QCOMPARE(window->windowTitle(), QStringLiteral("综合设置"));
        const QList<QWidget*> chain{
            window->changePasswordButton(), window->newPasswordBox(), window->oldPasswordBox(),
            window->topMarginBox(),         window->leftMarginBox(),  window->backupFolderBox(),
            window->browseButton(),         window->saveButton(),     window->exitButton()};
        for (qsizetype i = 0; i + 1 < chain.size(); ++i) {
            QCOMPARE(test::nextTabStop(chain[i]), chain[i + 1]);
        }
        QCOMPARE(window->focusWidget(), window->changePasswordButton());
        for (QLineEdit* edit : {window->oldPasswordBox(), window->newPasswordBox()}) {
            QCOMPARE(edit->maxLength(), 15);
            QCOMPARE(edit->echoMode(), QLineEdit::Normal);
            QVERIFY(!edit->testAttribute(Qt::WA_InputMethodEnabled));
        }
        // Enter in a box presses no button.
        window->newPasswordBox()->setText(QStringLiteral("x"));
        QTest::keyClick(window->leftMarginBox(), Qt::Key_Return);
        QVERIFY(MessageBox::takeShown().isEmpty());
        QVERIFY(window->isVisible());
        QCOMPARE(stored().password, QStringLiteral("864"));
        // On a focused button Enter presses it.
        window->newPasswordBox()->clear();
        QVERIFY(test::pressEnterOn(window->changePasswordButton()));
        QCOMPARE(MessageBox::takeShown().size(), 1);
    }

    void unreadableRecordLoadsNoInventedValues()
    {
        runSql(QStringLiteral("delete from 设置"));
        SettingsWindow* window = SettingsWindow::get();
        QVERIFY(!window->loadError().isNull());
        QCOMPARE(window->leftMarginText(), QString());
        QCOMPARE(window->topMarginText(), QString());
        QCOMPARE(window->backupFolder(), QString());
        SettingsWindow::showWindow();
        const auto shown = MessageBox::takeShown();
        QCOMPARE(shown.size(), 1);
        QVERIFY2(shown[0].text.startsWith(QStringLiteral("无法读取设置")), qPrintable(shown[0].text));
    }
};

QTEST_MAIN(SettingsTest)
#include "tst_settings.moc"
