#pragma once
// The main window as start-up leaves it, shown and active on the offscreen
// screen, over a fresh copy of the delivered database.
#include "MainWindowParts.h"
#include "TestSupport.h"
#include "base/Clock.h"
#include "mainwindow/MainWindow.h"
#include "ui/MessageBox.h"

#include <QApplication>
#include <QListWidget>
#include <QTest>

#include <memory>

namespace brenvoll::test {

struct MainWindowFixture
{
    TestFolder folder;
    std::unique_ptr<MainWindow> form;

    // The date the program takes for today.
    static QDate today() { return QDate(2023, 9, 14); }

    bool start()
    {
        MessageBox::setAnswerMode(true);
        Clock::setFixed(QDateTime(today(), QTime(9, 30, 0)));
        if (!folder.open()) {
            return false;
        }
        form = std::make_unique<MainWindow>();
        form->loadOnStart();
        form->show();
        QApplication::setActiveWindow(form.get());
        return QTest::qWaitForWindowActive(form.get());
    }

    // Types `text` into `widget` key by key, Chinese included.
    static void typeText(QWidget* widget, const QString& text)
    {
        for (const QChar ch : text) {
            QTest::sendKeyEvent(QTest::Click, widget, Qt::Key_unknown, QString(ch), Qt::NoModifier);
        }
    }

    // Clicks the phrase in `row` of the main window's phrase list.
    void clickPhrase(int row) const
    {
        QListWidget* list = test::phraseList(*form);
        list->scrollToItem(list->item(row));
        const QRect rect = list->visualItemRect(list->item(row));
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, rect.center());
    }
};

} // namespace brenvoll::test
