#pragma once
// The window "找回未保存的表格": the drafts of sheets that were typed and not
// saved, the one typed last first, each with its name, key, the time it was
// last typed and what it changes. "恢复" asks for the chosen draft to be put
// on the sheet; "删除" drops it. The window serves the drafts of one main
// window and shows none once that is gone.
#include <QDialog>
#include <QPointer>

class QLabel;
class QPushButton;
class QTreeWidget;

namespace brenvoll {

class SheetDrafts;

class DraftsWindow : public QDialog
{
    Q_OBJECT
public:
    // Shows the one window of this kind, creating it on first use, with the
    // drafts as they are now; an open window is brought to the front.
    static DraftsWindow* showWindow(SheetDrafts& drafts);
    // The window if it is loaded, else null.
    static DraftsWindow* loaded();

    QTreeWidget* draftList() const { return m_list; }
    QPushButton* restoreButton() const { return m_restore; }
    QPushButton* deleteButton() const { return m_delete; }

    // Reads the drafts again.
    void refresh();
    // "恢复" and "删除" on the chosen line.
    void restoreChosen();
    void deleteChosen();

signals:
    // The operator asked for draft `id` to be put on the sheet.
    void restoreRequested(qint64 id);

private:
    explicit DraftsWindow(SheetDrafts& drafts);
    qint64 chosenId() const;
    void updateButtons();

    static QPointer<DraftsWindow> s_instance;
    QPointer<SheetDrafts> m_drafts;
    QLabel* m_hint = nullptr;
    QTreeWidget* m_list = nullptr;
    QPushButton* m_restore = nullptr;
    QPushButton* m_delete = nullptr;
};

} // namespace brenvoll
