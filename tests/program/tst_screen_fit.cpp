// Windows on a small screen. The program runs here on a virtual screen of the
// size BRENVOLL_TEST_SCREEN names (1366x768, 1024x768), with window frames:
// every window it opens lies inside the screen's free area, its buttons and
// toolbars inside the window. The fitting itself is checked against given
// areas and frames.
#include "MainWindowFixture.h"
#include "MainWindowParts.h"
#include "phrases/PhraseLibraryWindow.h"
#include "program/LoginWindow.h"
#include "record/RecordStore.h"
#include "ui/ScreenFit.h"

#include <QAbstractButton>
#include <QLineEdit>
#include <QMenuBar>
#include <QPrintPreviewDialog>
#include <QScreen>
#include <QToolBar>
#include <QToolButton>
#include <QtTest>

#include <functional>

using namespace brenvoll;

namespace {

using Opener = std::function<void(MainWindow&)>;

std::function<void(MainWindow&)> menuCommand(const char* name)
{
    return [name](MainWindow& form) {
        QAction* action = form.menuBar()->findChild<QAction*>(QString::fromUtf8(name));
        QVERIFY2(action, name);
        action->trigger();
    };
}

QList<QWidget*> shownWindows()
{
    QList<QWidget*> windows;
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        if (widget->isVisible() && widget->isWindow() && !(widget->windowType() == Qt::Popup)) {
            windows << widget;
        }
    }
    return windows;
}

// What of `window` lies outside it: its buttons, or a toolbar's overflow
// arrow hiding buttons; empty when nothing does.
QStringList cutOff(QWidget* window)
{
    QStringList outside;
    for (QAbstractButton* button : window->findChildren<QAbstractButton*>()) {
        if (!button->isVisibleTo(window) || button->size().isEmpty()) {
            continue;
        }
        const QRect inWindow(button->mapTo(window, QPoint(0, 0)), button->size());
        if (!window->rect().contains(inWindow)) {
            outside << QStringLiteral("%1 %2 “%3” at %4,%5 %6x%7")
                           .arg(QString::fromLatin1(button->metaObject()->className()), button->objectName(),
                                button->text())
                           .arg(inWindow.x())
                           .arg(inWindow.y())
                           .arg(inWindow.width())
                           .arg(inWindow.height());
        }
    }
    for (QToolBar* toolbar : window->findChildren<QToolBar*>()) {
        const auto* overflow = toolbar->findChild<QToolButton*>(QStringLiteral("qt_toolbar_ext_button"));
        if (overflow && overflow->isVisibleTo(window)) {
            outside << QStringLiteral("the overflow arrow of a toolbar %1 wide").arg(toolbar->width());
        }
    }
    return outside;
}

} // namespace

class ScreenFitTest : public QObject
{
    Q_OBJECT

private:
    test::MainWindowFixture m_main;

private slots:
    void initTestCase()
    {
        fitWindowsToScreen(); // as the program's start does
        QVERIFY(m_main.start());
        // Two examinations of one resident: the sheet shows the later, with
        // its versions and the comparison of both.
        for (const auto& [key, date] :
             {std::pair{"20220101080000", "2022-05-01"}, {"20230101080000", "2023-05-01"}}) {
            QVERIFY(RecordStore::save(test::makeRecord(QString::fromLatin1(key), QStringLiteral("张三"),
                                                       QString::fromLatin1(date))));
        }
        test::fromDate(*m_main.form)->setText(QStringLiteral("2000-01-01"));
        m_main.form->search();
        QVERIFY(m_main.form->lineCount() >= 1);
        m_main.form->selectLine(0);
        // Saved again from the sheet, it has a version to show.
        m_main.form->box(Field::Conclusion)->setText(QStringLiteral("复查"));
        m_main.form->saveRecord();
        QCOMPARE(MessageBox::takeShown().size(), 0);
    }

    void cleanup()
    {
        for (QWidget* window : QApplication::topLevelWidgets()) {
            if (window != m_main.form.get() && window->isVisible()) {
                window->close();
            }
        }
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        MessageBox::takeShown();
    }

    // The virtual screen is the one asked for: without it this test would
    // check nothing about a small screen.
    void screenIsSmall()
    {
        const QString asked = qEnvironmentVariable("BRENVOLL_TEST_SCREEN");
        QVERIFY2(!asked.isEmpty(), "BRENVOLL_TEST_SCREEN is not set");
        const QSize size = QGuiApplication::primaryScreen()->geometry().size();
        QCOMPARE(QStringLiteral("%1x%2").arg(size.width()).arg(size.height()), asked);
        // Frames are drawn, so that the title bar counts.
        QVERIFY(m_main.form->frameGeometry().height() > m_main.form->height());
    }

    void windowsFitTheScreen_data()
    {
        QTest::addColumn<Opener>("open");
        QTest::newRow("主窗口") << Opener([](MainWindow&) {});
        for (const char* command :
             {"综合设置", "生成报表", "统计报表", "打印", "打印预览", "历史版本…", "已删除的记录…",
              "历年对比…", "找回未保存的表格", "用户管理…", "恢复备份…", "关于"}) {
            QTest::newRow(command) << Opener(menuCommand(command));
        }
        QTest::newRow("常用语") << Opener([](MainWindow&) { PhraseLibraryWindow::showWindow(); });
        QTest::newRow("登录") << Opener([](MainWindow&) { LoginWindow::showWindow(); });
    }

    void windowsFitTheScreen()
    {
        QFETCH(Opener, open);
        const QList<QWidget*> before = shownWindows();
        open(*m_main.form);
        QList<QWidget*> opened;
        for (QWidget* window : shownWindows()) {
            if (!before.contains(window)) {
                opened << window;
            }
        }
        if (QByteArray(QTest::currentDataTag()) == "主窗口") {
            opened << m_main.form.get();
        }
        for (const MessageBox::Shown& shown : MessageBox::takeShown()) {
            QFAIL(qPrintable(shown.text));
        }
        QCOMPARE(opened.size(), 1);
        QWidget* window = opened.first();
        QVERIFY(QTest::qWaitForWindowExposed(window));
        const QRect available = window->screen()->availableGeometry();
        QVERIFY2(available.contains(window->frameGeometry()),
                 qPrintable(QStringLiteral("%1: frame %2,%3 %4x%5 on %6x%7")
                                .arg(window->objectName())
                                .arg(window->frameGeometry().x())
                                .arg(window->frameGeometry().y())
                                .arg(window->frameGeometry().width())
                                .arg(window->frameGeometry().height())
                                .arg(available.width())
                                .arg(available.height())));
        const QStringList outside = cutOff(window);
        QVERIFY2(outside.isEmpty(), qPrintable(outside.join(QStringLiteral("; "))));
    }

    // The preview's toolbar keeps printing, zoom and the page navigation; it
    // drops turning the page and the views of several pages.
    void previewKeepsItsMainButtons()
    {
        menuCommand("打印预览")(*m_main.form);
        auto* preview = m_main.form->findChild<QPrintPreviewDialog*>(QStringLiteral("sheetPreview"));
        QVERIFY(preview);
        QStringList shown;
        for (const QToolBar* toolbar : preview->findChildren<QToolBar*>()) {
            for (const QAction* action : toolbar->actions()) {
                if (action->isVisible() && !action->isSeparator() && !action->text().isEmpty()) {
                    shown << action->text();
                }
            }
        }
        QStringList kept;
        for (const char* text : {"Fit width", "Fit page", "Zoom out", "Zoom in", "First page",
                                 "Previous page", "Next page", "Last page", "Page setup", "Print"}) {
            kept << QCoreApplication::translate("QPrintPreviewDialog", text);
        }
        QCOMPARE(shown, kept);
    }

    // Where a window opens in a free area, given its frame: as designed when
    // it fits, else shrunk and moved inside, or maximised.
    void fitting_data()
    {
        QTest::addColumn<QRect>("geometry");
        QTest::addColumn<QSize>("minimum");
        QTest::addColumn<QSize>("maximum");
        QTest::addColumn<bool>("placed");
        QTest::addColumn<QRect>("available");
        QTest::addColumn<QRect>("fitted");
        QTest::addColumn<bool>("maximised");
        const QSize any(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
        const QRect wide(0, 0, 1366, 738); // 1366×768 below a 30-pixel panel
        const QRect small(0, 27, 1024, 741);
        // Frames are 2 pixels wide, with a 30-pixel title bar.
        QTest::newRow("fits, placed by the system")
            << QRect(0, 0, 978, 667) << QSize(978, 667) << QSize(978, 667) << false << wide
            << QRect(0, 0, 978, 667) << false;
        QTest::newRow("too tall, centred") << QRect(0, 0, 1100, 820) << QSize(600, 400) << any << false
                                           << wide << QRect(133, 30, 1100, 706) << false;
        QTest::newRow("too wide and tall, below a panel")
            << QRect(0, 0, 1100, 820) << QSize(600, 400) << any << false << small << QRect(2, 57, 1020, 709)
            << false;
        QTest::newRow("placed partly off the area") << QRect(900, 500, 400, 300) << QSize() << any << true
                                                    << small << QRect(622, 466, 400, 300) << false;
        QTest::newRow("shrunk where it was placed") << QRect(10, 40, 1000, 900) << QSize(800, 700) << any
                                                    << true << small << QRect(10, 57, 1000, 709) << false;
        QTest::newRow("minimum larger than the area") << QRect(0, 0, 1100, 820) << QSize(900, 760) << any
                                                      << false << small << QRect(0, 0, 1100, 820) << true;
        QTest::newRow("one fixed size larger than the area")
            << QRect(300, 300, 1100, 820) << QSize(1100, 820) << QSize(1100, 820) << true << small
            << QRect(2, 57, 1100, 820) << false;
    }

    void fitting()
    {
        QFETCH(QRect, geometry);
        QFETCH(QSize, minimum);
        QFETCH(QSize, maximum);
        QFETCH(bool, placed);
        QFETCH(QRect, available);
        QFETCH(QRect, fitted);
        QFETCH(bool, maximised);
        const WindowFit fit =
            fitWindow({geometry, QMargins(2, 30, 2, 2), minimum, maximum, placed}, available);
        QCOMPARE(fit.maximised, maximised);
        if (!maximised) {
            QCOMPARE(fit.geometry, fitted);
            QCOMPARE(fit.changed, fitted != geometry);
        }
    }
};

QTEST_MAIN(ScreenFitTest)
#include "tst_screen_fit.moc"
