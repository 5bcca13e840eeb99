// The menus and the toolbar band built from the command rows. A toolbar
// button is four controls of one index: the face, the icon, the caption and
// the transparent cover that takes the mouse for the whole face. Their
// objectNames keep the designed names.
#include "CommandTable.h"

#include "Twips.h"

#include <QApplication>
#include <QFrame>
#include <QIcon>
#include <QKeyEvent>
#include <QLabel>
#include <QMainWindow>
#include <QMenuBar>
#include <QMouseEvent>
#include <QPainter>
#include <QRegularExpression>

#include <algorithm>

namespace brenvoll {

namespace {

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
    ToolbarButtonCover(QFrame* face, std::function<void()> run)
        : QWidget(face), m_face(face), m_run(std::move(run))
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
        m_run();
    }

    QFrame* m_face;
    std::function<void()> m_run;
};

// Menu shortcuts win over the keys of the window's text boxes and lists
// (Ctrl+C opens the settings, it does not copy), as they are the window's
// commands. The menus open from the keyboard as their captions promise:
// Alt and the letter in brackets ("文件(F)": Alt+F), and F10 opens the first;
// the captions keep their designed text, without a mnemonic mark.
class MenuKeys : public QObject
{
public:
    MenuKeys(QMainWindow& window, QList<QKeySequence> keys)
        : QObject(&window), m_window(window), m_keys(std::move(keys))
    {
        static const QRegularExpression letter(QStringLiteral("\\(([A-Z])\\)$"));
        for (QAction* menu : window.menuBar()->actions()) {
            const QRegularExpressionMatch match = letter.match(menu->text());
            if (match.hasMatch()) {
                m_menuLetters.insert(Qt::Key_A + (match.captured(1).at(0).unicode() - u'A'), menu);
            }
        }
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::KeyPress && watched->isWidgetType() &&
            static_cast<QWidget*>(watched)->window() == &m_window) {
            return openMenu(*static_cast<QKeyEvent*>(event));
        }
        if (event->type() != QEvent::ShortcutOverride || !watched->isWidgetType() || watched == &m_window) {
            return false;
        }
        auto* widget = static_cast<QWidget*>(watched);
        if (widget->window() != &m_window) {
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
    // Alt+letter or F10: the menu opens, and the key goes nowhere else.
    bool openMenu(const QKeyEvent& key)
    {
        QAction* menu = nullptr;
        if (key.key() == Qt::Key_F10 && key.modifiers() == Qt::NoModifier) {
            const QList<QAction*> menus = m_window.menuBar()->actions();
            menu = menus.isEmpty() ? nullptr : menus.first();
        } else if (key.modifiers() == Qt::AltModifier) {
            menu = m_menuLetters.value(key.key());
        }
        if (!menu || !menu->isEnabled() || !m_window.menuBar()->isVisible()) {
            return false;
        }
        m_window.menuBar()->setActiveAction(menu);
        return true;
    }

    QMainWindow& m_window;
    QList<QKeySequence> m_keys;
    QHash<int, QAction*> m_menuLetters;
};

} // namespace

void CommandTable::addMenu(const QString& name, const QString& caption)
{
    m_menus.append(Menu{name, caption});
}

void CommandTable::add(CommandRow row)
{
    m_rows.push_back(std::move(row));
}

const CommandRow* CommandTable::find(const QString& name) const
{
    const auto row = std::ranges::find_if(
        m_rows, [&name](const CommandRow& candidate) { return candidate.objectName() == name; });
    return row == m_rows.end() ? nullptr : &*row;
}

bool CommandTable::run(const QString& name) const
{
    const CommandRow* row = find(name);
    if (!row || !row->run) {
        return false;
    }
    if (row->gate && !row->gate()) {
        if (m_refusal) {
            m_refusal();
        }
        return false;
    }
    row->run();
    return true;
}

void CommandTable::build(QMainWindow& window, QFrame* band)
{
    m_window = &window;
    m_band = band;
    buildToolbar(band);
    buildMenus(window);
}

void CommandTable::buildToolbar(QFrame* band)
{
    band->setFrameStyle(QFrame::Box | QFrame::Sunken);
    QFont captionFont = band->font();
    captionFont.setPointSizeF(9);
    std::vector<const CommandRow*> buttons;
    for (const CommandRow& row : m_rows) {
        if (row.button.index >= 0) {
            buttons.push_back(&row);
        }
    }
    std::ranges::sort(buttons, {}, [](const CommandRow* row) { return row->button.index; });
    for (const CommandRow* row : buttons) {
        const ToolbarButton& def = row->button;
        auto* face = new QFrame(band);
        face->setObjectName(buttonPartName("Picture4", def.index));
        face->setFrameStyle(QFrame::NoFrame);
        face->setAutoFillBackground(true);
        face->setBackgroundRole(QPalette::Button);
        twips::place(face, def.leftTwips, 150, 1095, 555);

        auto* icon = new IconView(QIcon(def.icon), face);
        icon->setObjectName(buttonPartName("Image7", def.index));
        if (def.narrowIcon) {
            twips::place(icon, 90, 60, 400, 425);
        } else {
            twips::place(icon, 60, 60, 450, 450);
        }

        auto* caption = new QLabel(def.caption, face);
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

        const QString name = row->objectName();
        auto* cover = new ToolbarButtonCover(face, [this, name] { run(name); });
        cover->setObjectName(buttonPartName("Label18", def.index));
        twips::place(cover, 0, 0, 1095, 555);
        cover->raise();
    }
}

void CommandTable::buildMenus(QMainWindow& window)
{
    QMenuBar* bar = window.menuBar();
    QList<QKeySequence> keys;
    for (const Menu& def : std::as_const(m_menus)) {
        QMenu* menu = bar->addMenu(def.caption);
        menu->setObjectName(def.name);
        menu->menuAction()->setObjectName(def.name);
        std::vector<const CommandRow*> items;
        for (const CommandRow& row : m_rows) {
            if (row.menu == def.name) {
                items.push_back(&row);
            }
        }
        std::ranges::stable_sort(items, {}, [](const CommandRow* row) { return row->place; });
        for (size_t i = 0; i < items.size(); ++i) {
            const CommandRow* row = items[i];
            if (i > 0 && items[i - 1]->place / 100 != row->place / 100) {
                menu->addSeparator();
            }
            QAction* action = menu->addAction(row->text);
            action->setObjectName(row->objectName());
            action->setShortcut(row->shortcut);
            action->setShortcutContext(Qt::WindowShortcut);
            const QString name = row->objectName();
            QObject::connect(action, &QAction::triggered, &window, [this, name] { run(name); });
            keys << action->shortcut();
        }
    }
    qApp->installEventFilter(new MenuKeys(window, keys));
}

void CommandTable::applyGates() const
{
    for (const CommandRow& row : m_rows) {
        if (!row.gate) {
            continue;
        }
        const bool may = row.gate();
        if (m_window && !row.menu.isEmpty()) {
            if (auto* action = m_window->findChild<QAction*>(row.objectName())) {
                action->setEnabled(may);
            }
        }
        if (m_band && row.button.index >= 0) {
            if (auto* face = m_band->findChild<QFrame*>(buttonPartName("Picture4", row.button.index),
                                                        Qt::FindDirectChildrenOnly)) {
                face->setEnabled(may);
            }
        }
    }
}

} // namespace brenvoll
