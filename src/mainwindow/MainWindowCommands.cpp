// Toolbar and menu bar of the main window. A toolbar button is four controls of
// one index: the face, the icon, the caption and the transparent cover that
// takes the mouse for the whole face. Their objectNames keep the designed
// names, set in buildToolbar().
#include "MainWindowCommands.h"

#include "AboutWindow.h"
#include "Icons.h"
#include "MainWindow.h"
#include "MainWindowPrint.h"
#include "backup/RestoreWindow.h"
#include "base/EncodedText.h"
#include "drafts/SheetDrafts.h"
#include "reports/ReportWindow.h"
#include "settings/SettingsWindow.h"
#include "statistics/StatisticsWindow.h"
#include "storage/Database.h"
#include "ui/MessageBox.h"
#include "ui/ProgramEnd.h"
#include "ui/Twips.h"

#include <QApplication>
#include <QFrame>
#include <QIcon>
#include <QKeyEvent>
#include <QLabel>
#include <QMenuBar>
#include <QMouseEvent>
#include <QPainter>

namespace brenvoll {

namespace {

struct ToolbarButtonDef
{
    int index;
    const char* caption;
    int left; // twips, in the band
    const char* icon;
};

const ToolbarButtonDef kToolbarButtons[] = {
    {0, "新建", 120, ":/mainwindow/icons/new.svg"},
    {1, "保存", 1260, ":/mainwindow/icons/save.svg"},
    {2, "删除", 2400, ":/mainwindow/icons/delete.svg"},
    {3, "打印", 3540, ":/mainwindow/icons/print.svg"},
    {4, "报表", 4680, ":/mainwindow/icons/report.svg"},
    {5, "统计", 5820, ":/mainwindow/icons/statistics.svg"},
    {6, "退出", 7020, ":/mainwindow/icons/exit.svg"},
};

// The objectName of the control `set` of toolbar button `index`: set_index.
QString buttonPartName(const char* set, int index)
{
    return QString::fromLatin1(set) + u'_' + QString::number(index);
}

// A button's icon, drawn from its vector image at the screen's own resolution.
class IconView : public QWidget
{
public:
    IconView(const QIcon& icon, QWidget* parent) : QWidget(parent), m_icon(icon)
    {
        setAttribute(Qt::WA_TransparentForMouseEvents);
    }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter painter(this);
        m_icon.paint(&painter, rect());
    }

private:
    QIcon m_icon;
};

// The transparent cover of a toolbar button's face: it takes the mouse for the
// whole button. The window system delivers the release to the widget that took
// the press, wherever the pointer is then.
class ToolbarButtonCover : public QWidget
{
public:
    ToolbarButtonCover(MainWindow& form, QFrame* face, int index)
        : QWidget(face), m_form(form), m_face(face), m_index(index)
    {
    }

protected:
    void mousePressEvent(QMouseEvent* event) override
    {
        pressed();
        event->accept();
    }

    void mouseReleaseEvent(QMouseEvent* event) override
    {
        event->accept();
        released();
    }

private:
    // The face looks pressed: a sunken edge.
    void pressed()
    {
        m_face->setFrameStyle(QFrame::Panel | QFrame::Sunken);
        m_face->setLineWidth(2);
    }

    // The face is back at rest before the command runs, so that a window or a
    // question opened by the command meets a released button.
    void released()
    {
        m_face->setFrameStyle(QFrame::NoFrame);
        m_face->setBackgroundRole(QPalette::Button);
        m_face->repaint();
        runToolbarCommand(m_form, m_index);
    }

    MainWindow& m_form;
    QFrame* m_face;
    int m_index;
};

void buildToolbar(MainWindow& form)
{
    QFrame* band = form.toolbar();
    band->setFrameStyle(QFrame::Box | QFrame::Sunken);
    QFont captionFont = band->font();
    captionFont.setPointSizeF(9);
    for (const ToolbarButtonDef& def : kToolbarButtons) {
        auto* face = new QFrame(band);
        face->setObjectName(buttonPartName("Picture4", def.index));
        face->setFrameStyle(QFrame::NoFrame);
        face->setAutoFillBackground(true);
        face->setBackgroundRole(QPalette::Button);
        twips::place(face, def.left, 150, 1095, 555);

        auto* icon = new IconView(QIcon(QString::fromLatin1(def.icon)), face);
        icon->setObjectName(buttonPartName("Image7", def.index));
        if (def.index == 1) {
            twips::place(icon, 90, 60, 400, 425);
        } else {
            twips::place(icon, 60, 60, 450, 450);
        }

        auto* caption = new QLabel(QString::fromUtf8(def.caption), face);
        caption->setObjectName(buttonPartName("Label15", def.index));
        caption->setFont(captionFont);
        caption->setAttribute(Qt::WA_TransparentForMouseEvents);
        twips::place(caption, 660, 180, 360, 180);
        // Never clip the two characters: grow to the font, keeping the designed
        // left edge and vertical centre.
        const QSize hint = caption->sizeHint();
        const int centre = caption->geometry().center().y();
        caption->setGeometry(caption->x(), centre - hint.height() / 2, qMax(caption->width(), hint.width()),
                             qMax(caption->height(), hint.height()));

        auto* cover = new ToolbarButtonCover(form, face, def.index);
        cover->setObjectName(buttonPartName("Label18", def.index));
        twips::place(cover, 0, 0, 1095, 555);
        cover->raise();
    }
}

// Menu shortcuts win over the keys of the window's text boxes and lists
// (Ctrl+C opens the settings, it does not copy), as they are the window's
// commands.
class MenuKeys : public QObject
{
public:
    MenuKeys(MainWindow& form, QList<QKeySequence> keys)
        : QObject(&form), m_form(form), m_keys(std::move(keys))
    {
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() != QEvent::ShortcutOverride || !watched->isWidgetType() || watched == &m_form) {
            return false;
        }
        auto* widget = static_cast<QWidget*>(watched);
        if (widget->window() != &m_form) {
            return false;
        }
        auto* key = static_cast<QKeyEvent*>(event);
        const QKeySequence pressed(key->keyCombination());
        if (m_keys.contains(pressed)) {
            // Leave the override unaccepted: the key goes to the menu's shortcut.
            event->ignore();
            return true;
        }
        return false;
    }

private:
    MainWindow& m_form;
    QList<QKeySequence> m_keys;
};

void buildMenus(MainWindow& form)
{
    QMenuBar* bar = form.menuBar();
    QList<QKeySequence> keys;
    auto item = [&](QMenu* menu, const char* caption, const char* shortcut, auto command) {
        QAction* action = menu->addAction(QString::fromUtf8(caption));
        action->setObjectName(QString::fromUtf8(caption));
        action->setShortcut(QKeySequence(QString::fromLatin1(shortcut)));
        action->setShortcutContext(Qt::WindowShortcut);
        QObject::connect(action, &QAction::triggered, &form, command);
        keys << action->shortcut();
        return action;
    };
    auto menu = [&](const char* caption, const char* name) {
        QMenu* m = bar->addMenu(QString::fromUtf8(caption));
        m->setObjectName(QString::fromUtf8(name));
        m->menuAction()->setObjectName(QString::fromUtf8(name));
        return m;
    };
    MainWindow* f = &form;

    QMenu* file = menu("文件(F)", "文件");
    item(file, "新建", "Ctrl+N", [f] { f->newRecord(); });
    item(file, "复制上次体检", "Ctrl+R", [f] { f->copyLastExamination(); });
    item(file, "保存", "Ctrl+S", [f] { f->saveRecord(); });
    item(file, "打印", "Ctrl+P", [f] { showPrintDialog(*f); });
    item(file, "打印预览", "Ctrl+Shift+P", [f] { showPrintPreview(*f); });
    item(file, "导出PDF…", "", [f] { exportSheetToPdf(*f); });
    item(file, "批量导出PDF…", "", [f] { exportListToPdf(*f); });
    file->addSeparator();
    item(file, "删除", "Ctrl+D", [f] { f->deleteRecord(); });
    // No shortcut; named by its caption without the dots.
    QAction* drafts = file->addAction(QStringLiteral("找回未保存的表格…"));
    drafts->setObjectName(QStringLiteral("找回未保存的表格"));
    QObject::connect(drafts, &QAction::triggered, f, &MainWindow::showDrafts);
    // Ctrl+H stays 操作帮助.
    item(file, "历史版本…", "Ctrl+Shift+H", [f] { f->showVersions(); });
    item(file, "已删除的记录…", "", [f] { f->showDeletedRecords(); });
    item(file, "历年对比…", "Ctrl+T", [f] { f->showComparison(); });
    item(file, "锁定", "Ctrl+L", [f] { f->lock(); });
    file->addSeparator();
    item(file, "生成报表", "Ctrl+B", [] { ReportWindow::showWindow(); });
    // No shortcut; named by its caption without the dots.
    QAction* statistics = file->addAction(QStringLiteral("统计报表…"));
    statistics->setObjectName(QStringLiteral("统计报表"));
    QObject::connect(statistics, &QAction::triggered, f, [] { StatisticsWindow::showWindow(); });

    QMenu* settings = menu("设置(S)", "设置");
    item(settings, "综合设置", "Ctrl+C", [f] {
        if (f->allowed(Command::Settings)) {
            SettingsWindow::showWindow();
        }
    });
    // After a restore the main window starts over on the restored records.
    item(settings, "恢复备份…", "", [f] {
        if (!f->allowed(Command::RestoreBackup)) {
            return;
        }
        // A shared database lives on its server: only its administrator
        // restores it, from a dump, for every desk at once.
        if (Database::isShared()) {
            MessageBox::notice(f,
                               QStringLiteral("本机使用数据库服务器 %1 上的共享数据库，不能在这里恢复备份。"
                                              "备份文件夹中的“数据库.dump”请由管理员用 pg_restore 恢复。")
                                   .arg(Database::serverName()));
            return;
        }
        QObject::connect(RestoreWindow::showWindow(), &RestoreWindow::restored, f, &MainWindow::loadOnStart,
                         Qt::UniqueConnection);
    });

    item(settings, "用户管理…", "", [f] { f->showAccounts(); });
    item(settings, "修改我的密码…", "", [f] { f->showPasswordWindow(); });

    QMenu* help = menu("帮助(H)", "帮助");
    item(help, "关于", "Ctrl+A", [] { AboutWindow::showWindow(); });
    item(help, "操作帮助", "Ctrl+H", [] { Shell::openPage(localPageUrl(kHelpPageList)); });
    item(help, "访问作者主页", "Ctrl+M", [] { Shell::openPage(localPageUrl(kHomePageList)); });

    qApp->installEventFilter(new MenuKeys(form, keys));
}

} // namespace

void runToolbarCommand(MainWindow& form, int index)
{
    switch (index) {
    case 0:
        form.newRecord();
        break;
    case 1:
        form.saveRecord();
        break;
    case 2:
        form.deleteRecord();
        break;
    case 3:
        showPrintDialog(form);
        break;
    case 4:
        ReportWindow::showWindow();
        break;
    case 5:
        StatisticsWindow::showWindow();
        break;
    case 6:
        // At once: no window's closing work runs, so no backup is made. The
        // unsaved sheet is kept all the same.
        form.drafts()->closeCleanly();
        MainWindow::recordLogout();
        endProgram();
        break;
    default:
        break;
    }
}

void buildCommands(MainWindow& form)
{
    initIcons();
    form.setWindowIcon(QIcon(QStringLiteral(":/mainwindow/icons/brenvoll.svg")));
    buildToolbar(form);
    buildMenus(form);
}

} // namespace brenvoll
