#pragma once
// The commands of a window, one row each: where it stands in the menus and
// on the toolbar band, its shortcut, whether the operator may use it now, and
// what it does. The menus, the toolbar and the gates of the roles are all
// built from the rows, so that a command is declared once; a part of the
// program adds its commands by adding rows before the window builds them.
#include <QKeySequence>
#include <QList>
#include <QString>

#include <functional>
#include <vector>

class QAction;
class QFrame;
class QMainWindow;

namespace brenvoll {

// A button of the toolbar band: a face with an icon and a caption.
struct ToolbarButton
{
    int index = -1;          // its place from the left, which names its controls; -1: no button
    QString caption{};       // two characters under the icon
    int leftTwips = 0;       // in the band
    QString icon{};          // a vector image
    bool narrowIcon = false; // drawn a little smaller and further right
};

struct CommandRow
{
    // The objectName of its menu (see CommandTable::addMenu); empty: the
    // toolbar alone.
    QString menu{};
    // Its order in the menu: rows are listed by place, and a separator stands
    // where the hundreds change (101, 102, then 201 after a separator).
    int place = 0;
    QString text{}; // the menu item's text
    QString name{}; // the action's objectName; empty: the text
    QKeySequence shortcut{};
    ToolbarButton button{};
    // Whether the operator may use the command now; null: everybody may.
    std::function<bool()> gate{};
    std::function<void()> run{};

    QString objectName() const { return name.isEmpty() ? text : name; }
};

class CommandTable
{
public:
    // A menu of the menu bar, in the order added.
    void addMenu(const QString& name, const QString& caption);
    void add(CommandRow row);
    const std::vector<CommandRow>& rows() const { return m_rows; }

    // What a command refused by its gate tells the operator.
    void setRefusal(std::function<void()> refusal) { m_refusal = std::move(refusal); }

    // Gives `window` its menu bar and fills `band` with the toolbar's
    // buttons, once every row is in.
    void build(QMainWindow& window, QFrame* band);
    // Enables the menu items and toolbar faces of the commands whose gate
    // lets the operator use them, and disables the others.
    void applyGates() const;
    // Runs the command named `name` (its objectName), or refuses it when its
    // gate does not let the operator: a stale menu, a shortcut or a button
    // reached anyway runs nothing. False when refused or unknown.
    bool run(const QString& name) const;

private:
    const CommandRow* find(const QString& name) const;
    void buildMenus(QMainWindow& window);
    void buildToolbar(QFrame* band);

    struct Menu
    {
        QString name;
        QString caption;
    };
    QList<Menu> m_menus;
    std::vector<CommandRow> m_rows;
    std::function<void()> m_refusal;
    QMainWindow* m_window = nullptr;
    QFrame* m_band = nullptr;
};

} // namespace brenvoll
