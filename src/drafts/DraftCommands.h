#pragma once
// 找回未保存的表格…: the drafts of unsaved sheets listed, and one put back on
// the host's sheet as if typed (the selection follows the sheet's record).
#include <QObject>

namespace brenvoll {

class DraftsWindow;
class SheetDrafts;
class SheetHost;

class DraftCommands : public QObject
{
    Q_OBJECT
public:
    // Adds the command to `host`'s table; lives as long as its window.
    DraftCommands(SheetHost& host, SheetDrafts& drafts);

    DraftsWindow* showDrafts();
    void restoreDraft(qint64 id);

private:
    SheetHost& m_host;
    SheetDrafts& m_drafts;
};

} // namespace brenvoll
