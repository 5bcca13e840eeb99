// The main window's frame with real widgets: the layout put on the controls,
// scrolling, the toolbar, the menu bar with its shortcuts, one window of each
// kind, and the about window.
#include "MainWindowParts.h"
#include "PgServer.h"
#include "TestSupport.h"
#include "base/EncodedText.h"
#include "mainwindow/AboutWindow.h"
#include "mainwindow/DeskLine.h"
#include "mainwindow/MainWindow.h"
#include "print/PrintDialog.h"
#include "reports/ReportWindow.h"
#include "settings/SettingsWindow.h"
#include "sheet/SheetView.h"
#include "storage/Database.h"
#include "storage/ServerConfig.h"
#include "ui/MessageBox.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QDir>
#include <QFile>
#include <QFrame>
#include <QHash>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenuBar>
#include <QRegularExpression>
#include <QScrollBar>
#include <QtTest>

#include <memory>

using namespace brenvoll;

namespace {
const QString kSaveDateMessage = QStringLiteral("请填写正确体检日期格式！日期格式为“2016-01-03”。");

// Screen pixels of the test run (96 dpi): 15 twips and 96 / 25.4 px per mm.
double twipsPx(double twips)
{
    return twips * 96 / 1440;
}
double mmPx(double mm)
{
    return mm * 96 / 25.4;
}

QStringList shownTexts()
{
    QStringList texts;
    for (const MessageBox::Shown& shown : MessageBox::takeShown()) {
        texts << shown.text;
    }
    return texts;
}

int topLevelCount(const char* objectName)
{
    int count = 0;
    for (QWidget* w : QApplication::topLevelWidgets()) {
        if (w->objectName() == QLatin1String(objectName) && w->isVisible()) {
            ++count;
        }
    }
    return count;
}
} // namespace

class MainFrameTest : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanup();

    void layoutFollowsTheOuterSize();
    void tallWindowCentresThePage();
    void scrollMovesThePage();
    void resizeKeepsPageAndBarInStep();
    void newRecordBringsThePageToTheTop();
    void wheelOverThePageScrolls();
    void sheetFollowsTheFocusOnASmallScreen();
    void deskLineNamesTheDatabase();

    void toolbarPressLooksSunkenAndReleaseRuns();
    void rightButtonAndReleaseOffTheButtonRun();
    void faceIsAtRestBeforeTheCommand();
    void exitEndsTheEventLoopWithoutClosing();

    void menuBarAsDesigned();
    void saveFromShortcutMenuAndToolbar();
    void ctrlCOpensTheSettingsEvenInATextBox();
    void windowsOpenOnce();
    void helpAndHomePages();
    void helpListsEveryMenuShortcut();
    void aboutWindow();
    void iconsAreVectorImages();

private:
    QAction* action(const char* name) const;
    QWidget* cover(int index) const;
    QFrame* face(int index) const;
    void resizeOuter(int widthTwips, int heightTwips);
    double pageTopPx() const;

    std::unique_ptr<test::TestFolder> m_folder;
    MainWindow* m_form = nullptr;
};

void MainFrameTest::initTestCase()
{
    MessageBox::setAnswerMode(true);
    m_folder = std::make_unique<test::TestFolder>();
    QVERIFY(m_folder->isValid());
    QVERIFY(m_folder->open());
}

void MainFrameTest::init()
{
    MessageBox::setAnswerMode(true);
    m_form = new MainWindow;
    m_form->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_form));
    m_form->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(m_form));
    resizeOuter(15360, 12000);
}

void MainFrameTest::cleanup()
{
    for (QWidget* w : QApplication::topLevelWidgets()) {
        if (w != m_form) {
            w->close();
        }
    }
    delete m_form;
    m_form = nullptr;
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    MessageBox::takeShown();
    Shell::takeOpened();
}

QAction* MainFrameTest::action(const char* name) const
{
    return m_form->menuBar()->findChild<QAction*>(QString::fromUtf8(name));
}

QWidget* MainFrameTest::cover(int index) const
{
    return test::toolbar(*m_form)->findChild<QWidget*>(QStringLiteral("Label18_") + QString::number(index));
}

QFrame* MainFrameTest::face(int index) const
{
    return test::toolbar(*m_form)->findChild<QFrame*>(QStringLiteral("Picture4_") + QString::number(index));
}

// Sizes the window so that its outer frame measures the given twips.
void MainFrameTest::resizeOuter(int widthTwips, int heightTwips)
{
    const int extraW = m_form->frameGeometry().width() - m_form->width();
    const int extraH = m_form->frameGeometry().height() - m_form->height();
    m_form->resize(qRound(twipsPx(widthTwips)) - extraW, qRound(twipsPx(heightTwips)) - extraH);
    QTRY_COMPARE(m_form->frameGeometry().size(),
                 QSize(qRound(twipsPx(widthTwips)), qRound(twipsPx(heightTwips))));
}

double MainFrameTest::pageTopPx() const
{
    return test::page(*m_form)->y();
}

void MainFrameTest::layoutFollowsTheOuterSize()
{
    // 15360 x 12000 twips outside: the worked example of the window.
    QCOMPARE(m_form->windowTitle(), QStringLiteral("Brenvoll V2.0"));
    QVERIFY(qAbs(test::toolbar(*m_form)->width() - twipsPx(15150)) <= 1);
    QVERIFY(qAbs(test::viewport(*m_form)->width() - twipsPx(12685)) <= 1);
    QVERIFY(qAbs(test::viewport(*m_form)->height() - twipsPx(10335)) <= 1);
    QCOMPARE(test::viewport(*m_form)->pos(), QPoint(qRound(twipsPx(2520)), qRound(twipsPx(810))));
    const QPoint listTop = test::phraseList(*m_form)->mapTo(m_form->centralWidget(), QPoint(0, 0));
    QVERIFY(qAbs(listTop.y() - twipsPx(6870)) <= 1);
    QVERIFY(qAbs(test::phraseList(*m_form)->height() - twipsPx(4230)) <= 1);

    // Inside the viewport: millimetres from its inside corner.
    QVERIFY(qAbs(test::scrollBar(*m_form)->height() - mmPx(181.38)) <= 1);
    QVERIFY(qAbs(test::scrollBar(*m_form)->x() - mmPx(218.22)) <= 1);
    QCOMPARE(test::scrollBar(*m_form)->width(), qRound(twipsPx(255)));
    QVERIFY(qAbs(test::page(*m_form)->x() - mmPx(4.11)) <= 1);
    QCOMPARE(test::page(*m_form)->y(), 0);
    QCOMPARE(test::page(*m_form)->size(), QSize(qRound(mmPx(210)), qRound(mmPx(297))));
    QVERIFY(test::scrollBar(*m_form)->isEnabled());
    QCOMPARE(test::scrollBar(*m_form)->minimum(), 0);
    QCOMPARE(test::scrollBar(*m_form)->maximum(), 90);
    // The bar stands inside the viewport's right edge, beside the page.
    const QRect bar(test::scrollBar(*m_form)->mapTo(test::viewport(*m_form), QPoint(0, 0)),
                    test::scrollBar(*m_form)->size());
    QVERIFY(bar.right() < test::viewport(*m_form)->width());
    QVERIFY(test::viewport(*m_form)->width() - bar.right() <= qRound(mmPx(1)) + 1);
    QVERIFY(test::page(*m_form)->geometry().right() < test::scrollBar(*m_form)->x());
    QCOMPARE(m_form->sheet()->parentWidget(), test::page(*m_form));
    QCOMPARE(m_form->sheet()->pos(), QPoint(0, 0));

    // A window too small for the viewport keeps the viewport's last size.
    const QSize viewport = test::viewport(*m_form)->size();
    resizeOuter(2400, 1500);
    QCOMPARE(test::viewport(*m_form)->size(), viewport);
    QVERIFY(qAbs(test::toolbar(*m_form)->width() - twipsPx(2190)) <= 1);
}

void MainFrameTest::tallWindowCentresThePage()
{
    // A viewport of 20000 twips is taller than the page.
    resizeOuter(15360, 20000 + 1665);
    QVERIFY(!test::scrollBar(*m_form)->isEnabled());
    QVERIFY(qAbs(pageTopPx() - mmPx((20000 / 56.7 - 297) / 2)) <= 1);
    // Back to a shorter window: the page returns to the top, the bar is usable.
    resizeOuter(15360, 12000);
    QVERIFY(test::scrollBar(*m_form)->isEnabled());
    QCOMPARE(pageTopPx(), 0.0);
}

void MainFrameTest::scrollMovesThePage()
{
    test::scrollBar(*m_form)->setValue(90);
    const double overflow = 297 - 10335 / 56.6667;
    QVERIFY2(qAbs(pageTopPx() + mmPx(overflow)) <= 1, qPrintable(QString::number(pageTopPx())));
    // The page's bottom edge is at the viewport's bottom edge.
    const int pageBottom =
        test::page(*m_form)->mapTo(test::viewport(*m_form), QPoint(0, test::page(*m_form)->height())).y();
    QVERIFY2(qAbs(pageBottom - test::viewport(*m_form)->height()) <=
                 test::viewport(*m_form)->frameWidth() + 1,
             qPrintable(QString::number(pageBottom)));
    test::scrollBar(*m_form)->setValue(45);
    QVERIFY(qAbs(pageTopPx() + mmPx(overflow / 2)) <= 1);
}

void MainFrameTest::resizeKeepsPageAndBarInStep()
{
    // After each size change one step down moves the page up by one
    // ninetieth of its overflow, from where the bar's value puts it.
    test::scrollBar(*m_form)->setValue(45);
    for (const int height : {11000, 13000, 20000 + 1665, 12000}) {
        resizeOuter(15360, height);
        const double overflow = 297 - test::viewport(*m_form)->height() * 15.0 / 56.6667;
        const double before = pageTopPx();
        if (!test::scrollBar(*m_form)->isEnabled()) {
            QCOMPARE(test::scrollBar(*m_form)->value(), 0); // the page is centred
            continue;
        }
        QVERIFY(qAbs(before + mmPx(overflow * test::scrollBar(*m_form)->value() / 90)) <= 1);
        test::scrollBar(*m_form)->triggerAction(QAbstractSlider::SliderSingleStepAdd);
        QVERIFY2(qAbs(before - pageTopPx() - mmPx(overflow / 90)) <= 1, qPrintable(QString::number(before)));
    }
}

void MainFrameTest::newRecordBringsThePageToTheTop()
{
    test::scrollBar(*m_form)->setValue(90);
    QVERIFY(pageTopPx() < -100);
    m_form->box(Field::Name)->setText(QStringLiteral("张三"));
    m_form->newRecord();
    QCOMPARE(test::scrollBar(*m_form)->value(), 0);
    QCOMPARE(pageTopPx(), 0.0);
    QCOMPARE(m_form->sheet()->pos(), QPoint(0, 0));
    QVERIFY(m_form->box(Field::Name)->text().isEmpty());
}

void MainFrameTest::wheelOverThePageScrolls()
{
    // A wheel turn that the page's boxes leave unused reaches the viewport,
    // which turns the scroll bar.
    auto turn = [this](int delta) {
        const QPointF at = test::viewport(*m_form)->rect().center();
        QWheelEvent wheel(at, test::viewport(*m_form)->mapToGlobal(at), QPoint(), QPoint(0, delta),
                          Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
        QApplication::sendEvent(test::viewport(*m_form), &wheel);
    };
    turn(-120);
    QVERIFY(test::scrollBar(*m_form)->value() > 0);
    QVERIFY(pageTopPx() < 0);
    turn(120);
    QCOMPARE(test::scrollBar(*m_form)->value(), 0);
    QCOMPARE(pageTopPx(), 0.0);
}

void MainFrameTest::sheetFollowsTheFocusOnASmallScreen()
{
    // 1366 x 768 pixels outside, a common desk screen: the lower sheet lies
    // below the viewport.
    resizeOuter(20490, 11520);
    QVERIFY(test::scrollBar(*m_form)->isEnabled());
    const QWidget* inside = test::page(*m_form)->parentWidget();
    auto inView = [inside](const QWidget* box) {
        const QRect r(box->mapTo(inside, QPoint(0, 0)), box->size());
        return r.top() >= 0 && r.bottom() < inside->height();
    };
    const QList<const BoxDef*> order = FieldMap::tabOrder();
    QLineEdit* last = m_form->box(order.last()->field);
    QVERIFY(!inView(last));

    // Enter walks down the sheet; every box it reaches is wholly in view.
    m_form->box(order.first()->field)->setFocus(Qt::MouseFocusReason);
    for (qsizetype i = 1; i < order.size(); ++i) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
        QLineEdit* box = m_form->box(order.at(i)->field);
        QCOMPARE(QApplication::focusWidget(), box);
        QVERIFY2(inView(box), qPrintable(box->objectName()));
    }
    QVERIFY(test::scrollBar(*m_form)->value() > 0);
    const int bottomValue = test::scrollBar(*m_form)->value();

    // A phrase clicked while the sheet was scrolled away brings its box back.
    test::scrollBar(*m_form)->setValue(0);
    QVERIFY(!inView(last));
    QListWidget* phrases = test::phraseList(*m_form);
    test::phrasePanel(*m_form)->showWholeLibrary();
    QVERIFY(phrases->count() > 0);
    QTest::mouseClick(phrases->viewport(), Qt::LeftButton, {},
                      phrases->visualItemRect(phrases->item(0)).center());
    QCOMPARE(QApplication::focusWidget(), last);
    QVERIFY(inView(last));
    QCOMPARE(test::scrollBar(*m_form)->value(), bottomValue); // the same few steps, not the bottom of the bar

    // Back up the sheet with Shift+Tab: the first box comes back into view.
    for (qsizetype i = order.size() - 1; i > 0; --i) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Backtab, Qt::ShiftModifier);
        QVERIFY2(inView(QApplication::focusWidget()), qPrintable(QApplication::focusWidget()->objectName()));
    }
    QCOMPARE(QApplication::focusWidget(), m_form->box(order.first()->field));

    // One notch of the wheel moves the page by about three lines of the sheet's text.
    test::scrollBar(*m_form)->setValue(0);
    const int line = m_form->box(Field::Name)->fontMetrics().lineSpacing();
    const QPointF at = test::viewport(*m_form)->rect().center();
    QWheelEvent notch(at, test::viewport(*m_form)->mapToGlobal(at), QPoint(), QPoint(0, -120), Qt::NoButton,
                      Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(test::viewport(*m_form), &notch);
    const double step = mmPx((297 - test::viewport(*m_form)->height() * 15.0 / 56.6667) / 90);
    QVERIFY2(qAbs(-pageTopPx() - 3 * line) <= step / 2 + 1,
             qPrintable(QStringLiteral("%1 px for a %2 px line").arg(-pageTopPx()).arg(line)));
}

void MainFrameTest::deskLineNamesTheDatabase()
{
    // On a file: its whole path while there is room, in the toolbar band
    // right of its buttons, over none of them.
    m_form->loadOnStart();
    QTRY_VERIFY(test::toolbar(*m_form)->width() > qRound(twipsPx(15000)));
    DeskLine* line = test::deskLine(*m_form);
    QCOMPARE(line->parentWidget(), test::toolbar(*m_form));
    const QString path = QDir::toNativeSeparators(m_folder->databaseFile());
    QCOMPARE(line->text(), QStringLiteral("数据库：本机文件 ") + path);
    QVERIFY(line->isVisible());
    QVERIFY(test::toolbar(*m_form)->rect().contains(line->geometry()));
    QVERIFY(line->fontMetrics().horizontalAdvance(line->text()) <= line->width());
    for (QFrame* face :
         test::toolbar(*m_form)->findChildren<QFrame*>(QRegularExpression(QStringLiteral("^Picture4_")))) {
        QVERIFY2(!face->geometry().intersects(line->geometry()), qPrintable(face->objectName()));
    }
    QCOMPARE(m_form->centralWidget()->height(), m_form->height() - m_form->menuBar()->height());

    // A narrow window shortens the path at its front, by whole folders, and
    // keeps the file's name and the operator's name whole.
    const QFontMetrics metrics = line->fontMetrics();
    const DatabasePlace file{false, QStringLiteral("/home/desk/很长的文件夹名字/另一个文件夹/数据库.db")};
    const QString shortest = QStringLiteral("数据库：本机文件 …/数据库.db　操作员：张三");
    QCOMPARE(deskLineText(file, QStringLiteral("张三"), metrics, metrics.horizontalAdvance(shortest)),
             shortest);
    const QString twoFolders = QStringLiteral("数据库：本机文件 …/另一个文件夹/数据库.db");
    QCOMPARE(deskLineText(file, QString(), metrics, metrics.horizontalAdvance(twoFolders) + 5), twoFolders);
    resizeOuter(12000, 12000); // the band's free part is shorter than the path
    QVERIFY(line->width() > 0);
    QVERIFY(line->fontMetrics().horizontalAdvance(line->text()) <= line->width());
    QVERIFY2(line->text().startsWith(QStringLiteral("数据库：本机文件 …")), qPrintable(line->text()));
    QVERIFY(line->text().endsWith(QStringLiteral("/数据库.db")));
    QCOMPARE(line->toolTip(), QStringLiteral("数据库：本机文件 ") + path);

    // On a server: host:port/name.
    BRENVOLL_PG_PROGRAM_DATABASE(conninfo);
    const auto backToTheFile = qScopeGuard([this] {
        Database::close();
        QVERIFY(m_folder->open());
    });
    QTemporaryDir desk;
    QFile ini(serverConfigPath(desk.path()));
    QVERIFY(ini.open(QIODevice::WriteOnly));
    ini.write(test::PgServer::shared().configText(conninfo).toUtf8());
    ini.close();
    QString error;
    const auto config = readServerConfig(desk.path(), &error);
    QVERIFY2(config, qPrintable(error));
    QVERIFY2(Database::openServer(*config, &error), qPrintable(error));
    resizeOuter(40000, 12000);
    line->showDesk(DatabasePlace::current());
    QCOMPARE(line->text(),
             QStringLiteral("数据库：服务器 %1:%2/%3").arg(config->host).arg(config->port).arg(config->name));
    QVERIFY(conninfo.contains(QStringLiteral("dbname=") + config->name));
}

void MainFrameTest::toolbarPressLooksSunkenAndReleaseRuns()
{
    QWidget* save = cover(1);
    QVERIFY(save);
    QCOMPARE(face(1)->frameShape(), QFrame::NoFrame);
    QTest::mousePress(save, Qt::LeftButton);
    QCOMPARE(face(1)->frameShape(), QFrame::Panel);
    QCOMPARE(face(1)->frameShadow(), QFrame::Sunken);
    QVERIFY(shownTexts().isEmpty()); // nothing runs on the press
    QTest::mouseRelease(save, Qt::LeftButton);
    QCOMPARE(face(1)->frameShape(), QFrame::NoFrame);
    QCOMPARE(shownTexts(), QStringList{kSaveDateMessage});
}

void MainFrameTest::rightButtonAndReleaseOffTheButtonRun()
{
    // Right button on 新建: a new record.
    m_form->box(Field::Name)->setText(QStringLiteral("张三"));
    m_form->box(Field::Height)->setText(QStringLiteral("170"));
    QTest::mouseClick(cover(0), Qt::RightButton);
    QVERIFY(m_form->box(Field::Name)->text().isEmpty());
    QVERIFY(m_form->box(Field::Height)->text().isEmpty());
    QCOMPARE(m_form->box(Field::Key)->text().size(), 14);

    // Pressed on 保存, released far off the button: it still saves.
    QTest::mousePress(cover(1), Qt::LeftButton, {}, QPoint(5, 5));
    QTest::mouseRelease(cover(1), Qt::LeftButton, {}, QPoint(400, 300));
    QCOMPARE(shownTexts(), QStringList{kSaveDateMessage});
}

void MainFrameTest::faceIsAtRestBeforeTheCommand()
{
    // Watch the report window appear and look at the 报表 face at that moment.
    struct Watch : QObject
    {
        QFrame* face = nullptr;
        int shapeWhenShown = -1;
        bool eventFilter(QObject* o, QEvent* e) override
        {
            if (e->type() == QEvent::Show && o->objectName() == QLatin1String("Form3")) {
                shapeWhenShown = face->frameShape();
            }
            return false;
        }
    } watch;
    watch.face = face(4);
    qApp->installEventFilter(&watch);
    QTest::mouseClick(cover(4), Qt::LeftButton);
    qApp->removeEventFilter(&watch);
    QVERIFY(ReportWindow::loaded());
    QCOMPARE(watch.shapeWhenShown, int(QFrame::NoFrame));
}

void MainFrameTest::exitEndsTheEventLoopWithoutClosing()
{
    bool closed = false;
    // The connection ends with this function: cleanup() deletes the window
    // after `closed` is gone.
    QObject watch;
    connect(m_form, &QObject::destroyed, &watch, [&closed] { closed = true; });
    QEventLoop loop;
    QTimer::singleShot(0, this, [this] { QTest::mouseClick(cover(6), Qt::LeftButton); });
    QTimer::singleShot(5000, &loop, [&loop] { loop.exit(1); });
    QCOMPARE(loop.exec(), 0);
    // The main window was not closed: no closing work, no backup.
    QVERIFY(!closed);
    QVERIFY(m_form->isVisible());
}

void MainFrameTest::menuBarAsDesigned()
{
    struct Item
    {
        const char* menu;
        const char* name;
        const char* keys;
    };
    const Item items[] = {
        {"文件(F)", "新建", "Ctrl+N"},
        {"文件(F)", "保存", "Ctrl+S"},
        {"文件(F)", "打印", "Ctrl+P"},
        {"文件(F)", "删除", "Ctrl+D"},
        {"文件(F)", "生成报表", "Ctrl+B"},
        {"设置(S)", "综合设置", "Ctrl+C"},
        {"帮助(H)", "关于", "Ctrl+A"},
        {"帮助(H)", "操作帮助", "Ctrl+H"},
        {"帮助(H)", "访问作者主页", "Ctrl+M"},
        {"文件(F)", "打印预览", "Ctrl+Shift+P"},
        {"文件(F)", "导出PDF…", "Ctrl+E"},
        {"文件(F)", "批量导出PDF…", ""},
        {"文件(F)", "复制上次体检", "Ctrl+R"},
        {"文件(F)", "历史版本…", "Ctrl+Shift+H"},
        {"文件(F)", "已删除的记录…", "Ctrl+Shift+E"},
        {"文件(F)", "历年对比…", "Ctrl+T"},
        {"文件(F)", "找回未保存的表格", "Ctrl+Shift+D"},
        {"文件(F)", "统计报表", "Ctrl+Shift+B"},
        {"设置(S)", "用户管理…", "Ctrl+Shift+U"},
        {"设置(S)", "恢复备份…", "Ctrl+Shift+O"},
        {"文件(F)", "注销/切换用户", ""},
    };
    QStringList menus;
    for (QAction* top : m_form->menuBar()->actions()) {
        menus << top->text();
    }
    QCOMPARE(menus,
             (QStringList{QStringLiteral("文件(F)"), QStringLiteral("设置(S)"), QStringLiteral("帮助(H)")}));
    for (const Item& item : items) {
        QAction* a = action(item.name);
        QVERIFY2(a, item.name);
        QCOMPARE(a->text().remove(u'…'), QString::fromUtf8(item.name).remove(u'…'));
        QCOMPARE(a->shortcut(), QKeySequence(QString::fromLatin1(item.keys)));
        QVERIFY(a->isEnabled());
        QVERIFY(!a->isCheckable());
        QCOMPARE(a->associatedObjects().value(0)->parent()->objectName(), m_form->menuBar()->objectName());
    }
    // File menu: 新建 复制上次体检 保存 打印 打印预览 导出PDF… 批量导出PDF… | 删除 找回未保存的表格…
    // 历史版本… 已删除的记录… 历年对比… 锁定 注销/切换用户 | 生成报表 统计报表….
    const QList<QAction*> file = m_form->menuBar()->actions().first()->menu()->actions();
    QStringList shape;
    for (QAction* a : file) {
        shape << (a->isSeparator() ? QStringLiteral("|") : a->text());
    }
    QCOMPARE(
        shape.join(u' '),
        QStringLiteral(
            "新建 复制上次体检 保存 打印 打印预览 导出PDF… 批量导出PDF… | 删除 "
            "找回未保存的表格… 历史版本… 已删除的记录… 历年对比… 锁定 注销/切换用户 | 生成报表 统计报表…"));
    // No access keys: the captions carry no mnemonic marker.
    for (QAction* top : m_form->menuBar()->actions()) {
        QVERIFY(!top->text().contains(u'&'));
    }
    // The menus open by the letter their caption names, and F10, from a box
    // of the sheet: the key types nothing there.
    const struct
    {
        Qt::Key key;
        Qt::KeyboardModifiers modifiers;
        int menu;
    } openers[] = {{Qt::Key_F, Qt::AltModifier, 0},
                   {Qt::Key_S, Qt::AltModifier, 1},
                   {Qt::Key_H, Qt::AltModifier, 2},
                   {Qt::Key_F10, Qt::NoModifier, 0}};
    QLineEdit* name = m_form->box(Field::Name);
    for (const auto& opener : openers) {
        name->setFocus();
        name->clear();
        QTest::keyClick(name, opener.key, opener.modifiers);
        QCOMPARE(name->text(), QString());
        QCOMPARE(m_form->menuBar()->activeAction(), m_form->menuBar()->actions().at(opener.menu));
        QTest::keyClick(QApplication::activePopupWidget() ? QApplication::activePopupWidget()
                                                          : m_form->menuBar(),
                        Qt::Key_Escape);
        m_form->menuBar()->setActiveAction(nullptr);
    }
}

void MainFrameTest::saveFromShortcutMenuAndToolbar()
{
    m_form->box(Field::ExamDate)->clear(); // no date: every save stops at the date
    m_form->box(Field::Name)->setFocus();
    QTest::keyClick(m_form->box(Field::Name), Qt::Key_S, Qt::ControlModifier);
    const QStringList fromKey = shownTexts();
    action("保存")->trigger();
    const QStringList fromMenu = shownTexts();
    QTest::mouseClick(cover(1), Qt::LeftButton);
    const QStringList fromToolbar = shownTexts();
    QCOMPARE(fromKey, QStringList{kSaveDateMessage});
    QCOMPARE(fromMenu, fromKey);
    QCOMPARE(fromToolbar, fromKey);
}

void MainFrameTest::ctrlCOpensTheSettingsEvenInATextBox()
{
    QLineEdit* name = m_form->box(Field::Name);
    name->setText(QStringLiteral("张三"));
    name->setFocus();
    name->selectAll();
    QApplication::clipboard()->setText(QStringLiteral("before"));
    QTest::keyClick(name, Qt::Key_C, Qt::ControlModifier);
    QVERIFY(SettingsWindow::loaded());
    QVERIFY(SettingsWindow::loaded()->isVisible());
    // The key went to the menu, not to the box's copy.
    QCOMPARE(QApplication::clipboard()->text(), QStringLiteral("before"));
}

void MainFrameTest::windowsOpenOnce()
{
    action("打印")->trigger();
    action("打印")->trigger();
    QTest::mouseClick(cover(3), Qt::LeftButton);
    QCOMPARE(topLevelCount("Form8"), 1);

    QTest::mouseClick(cover(4), Qt::LeftButton);
    action("生成报表")->trigger();
    QCOMPARE(topLevelCount("Form3"), 1);

    // 统计 sits after 报表, in the gap before 退出, and opens one window.
    QVERIFY(face(4)->geometry().right() < face(5)->x());
    QVERIFY(face(5)->geometry().right() < face(6)->x());
    QTest::mouseClick(cover(5), Qt::LeftButton);
    action("统计报表")->trigger();
    QCOMPARE(topLevelCount("StatisticsWindow"), 1);

    AboutWindow* about = AboutWindow::showWindow();
    QTest::keyClick(m_form, Qt::Key_A, Qt::ControlModifier);
    QCOMPARE(AboutWindow::loaded(), about);
    QCOMPARE(topLevelCount("Form4"), 1);

    action("找回未保存的表格")->trigger();
    action("找回未保存的表格")->trigger();
    QCOMPARE(topLevelCount("DraftsWindow"), 1);

    // The main window stays usable while they are open.
    QVERIFY(!PrintDialog::loaded()->isModal());
    QVERIFY(!about->isModal());
    QVERIFY(m_form->isEnabled());
}

void MainFrameTest::helpAndHomePages()
{
    action("操作帮助")->trigger();
    QTest::keyClick(m_form, Qt::Key_M, Qt::ControlModifier);
    QTest::keyClick(m_form, Qt::Key_H, Qt::ControlModifier);
    const QStringList opened = Shell::takeOpened();
    QCOMPARE(opened, (QStringList{localPageUrl(kHelpPageList), localPageUrl(kHomePageList),
                                  localPageUrl(kHelpPageList)}));
    QVERIFY(opened.first().endsWith(QStringLiteral("web/help.html")));
}

// The help page's table of keys is what an operator learns them from: every
// key bound in the menus is there, beside the caption of its command.
void MainFrameTest::helpListsEveryMenuShortcut()
{
    QFile help(QStringLiteral(BRENVOLL_HELP_PAGE));
    QVERIFY(help.open(QIODevice::ReadOnly));
    const QString page = QString::fromUtf8(help.readAll());
    const qsizetype table = page.indexOf(QStringLiteral("<table id=\"menu-shortcuts\">"));
    QVERIFY(table >= 0);
    const QString rows = page.mid(table, page.indexOf(QStringLiteral("</table>"), table) - table);
    QHash<QString, QString> listed;
    static const QRegularExpression row(QStringLiteral("<tr><td><kbd>([^<]+)</kbd></td><td>([^<]+)</td>"));
    for (const auto& match : row.globalMatch(rows)) {
        listed.insert(match.captured(1), match.captured(2));
    }
    QVERIFY(!listed.isEmpty());

    QStringList unlisted;
    int bound = 0;
    for (QAction* item : m_form->menuBar()->findChildren<QAction*>()) {
        const QString keys = item->shortcut().toString(QKeySequence::PortableText);
        if (keys.isEmpty()) {
            continue;
        }
        ++bound;
        if (listed.value(keys) != item->text()) {
            unlisted << keys + u' ' + item->text();
        }
    }
    QVERIFY(bound > 0);
    QVERIFY2(unlisted.isEmpty(),
             qPrintable(QStringLiteral("not in the help's table: ") + unlisted.join(u'，')));
}

void MainFrameTest::aboutWindow()
{
    action("关于")->trigger();
    AboutWindow* about = AboutWindow::loaded();
    QVERIFY(about);
    QVERIFY(QTest::qWaitForWindowExposed(about));
    QStringList texts;
    for (QLabel* label : about->findChildren<QLabel*>()) {
        texts << label->text();
    }
    QVERIFY(texts.contains(QStringLiteral("Brenvoll")));
    QVERIFY(texts.contains(QStringLiteral("V2.0")));
    QVERIFY(Shell::takeOpened().isEmpty());
    // A click anywhere on it, the product name too, opens the home page.
    QLabel* name = about->findChild<QLabel*>(QStringLiteral("Label1"));
    QTest::mouseClick(about, Qt::LeftButton, {}, name->geometry().center());
    QCOMPARE(Shell::takeOpened(), QStringList{localPageUrl(kHomePageList)});
}

void MainFrameTest::iconsAreVectorImages()
{
    const int buttons[] = {0, 1, 2, 3, 4, 6};
    for (int i : buttons) {
        QWidget* image =
            test::toolbar(*m_form)->findChild<QWidget*>(QStringLiteral("Image7_") + QString::number(i));
        QVERIFY(image);
        QVERIFY(image->width() >= 26);
        // Painted at twice the resolution, the icon has twice the pixels.
        QPixmap sharp(image->size() * 2);
        sharp.setDevicePixelRatio(2);
        sharp.fill(Qt::white);
        image->render(&sharp);
        const QImage img = sharp.toImage();
        int blue = 0;
        for (int y = 0; y < img.height(); ++y) {
            for (int x = 0; x < img.width(); ++x) {
                const QColor c = img.pixelColor(x, y);
                blue += (qAbs(c.red() - 0x1f) < 8 && qAbs(c.green() - 0x6f) < 8 && qAbs(c.blue() - 0xb2) < 8);
            }
        }
        QVERIFY2(blue > img.width() * 2, qPrintable(QStringLiteral("icon %1: %2").arg(i).arg(blue)));
    }
}

QTEST_MAIN(MainFrameTest)
#include "tst_mainframe.moc"
