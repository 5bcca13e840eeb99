#pragma once
// What a part of the program may ask of the window that shows the sheet, and
// nothing more: the record on the sheet, putting a record on it (editable, or
// read-only with tinted boxes), keeping the typing as a draft, the result
// list, hiding the sheet, the window's commands and its widget as the parent
// of dialogs. The main window implements it; the parts that reach the sheet
// (the kept versions, the comparison, the drafts, the accounts and the lock,
// the next examination) know the window only through it.
#include "accounts/Session.h"
#include "record/FieldMap.h"
#include "record/RecordStore.h"

#include <QColor>
#include <QList>
#include <QString>

#include <functional>
#include <optional>

class QWidget;

namespace brenvoll {

class CommandTable;
class SheetView;

class SheetHost
{
public:
    virtual ~SheetHost() = default;

    // The window: the parent of dialogs and messages.
    virtual QWidget* hostWidget() = 0;
    // Its commands: a part adds its rows before the window builds its menus.
    virtual CommandTable& commands() = 0;
    virtual SheetView* sheet() const = 0;

    // The stored record the sheet shows, as last loaded or saved; none on a
    // new sheet.
    virtual const std::optional<ExamRecord>& storedRecord() const = 0;
    // Puts the stored `record` on the sheet, editable, as loading it from
    // the result list does (the typing on the sheet kept as a draft first).
    virtual void showStored(const ExamRecord& record) = 0;
    // Puts `record` on the sheet read-only, the boxes of `tinted` in `tint`;
    // endReadOnly() makes the boxes editable again in their own colours.
    virtual void showReadOnly(const ExamRecord& record, const QList<Field>& tinted, const QColor& tint) = 0;
    virtual void endReadOnly() = 0;
    // A part that shows something of its own on the sheet holds it, giving it
    // back through `release` when the window needs the sheet (another record
    // opened, another operator); null: the sheet is free again.
    virtual void holdSheet(std::function<void()> release) = 0;
    virtual bool sheetHeld() const = 0;
    virtual void releaseSheet() = 0;

    // A new sheet: the examinee's boxes empty, date and address kept, a fresh key.
    virtual void newRecord() = 0;
    // Every box empty, which is no typing.
    virtual void clearSheet() = 0;
    // A free key for a record about to be stored; none, with why, when no
    // key could be told free.
    virtual std::optional<QString> issueKey(QString* error) = 0;
    // Keeps the sheet's typing in the drafts file now.
    virtual void keepDraft() = 0;

    // The result list: every record of `date` listed, the record `key` selected.
    virtual void listDay(const QString& date, const QString& key) = 0;
    // Selects the line of the record the sheet shows (none for a new sheet).
    virtual void selectShownRecord() = 0;
    // Hides the sheet, the lists and the menus (a locked desk), or shows them.
    virtual void setSheetHidden(bool hidden) = 0;
    // Whether the operator may use `command`; tells them when not.
    virtual bool allowed(Command command) = 0;
    // After a login or another operator: the window names the operator and
    // sets the commands' gates, then runs each hook added by onSession().
    virtual void applySession() = 0;
    virtual void onSession(std::function<void()> hook) = 0;
};

} // namespace brenvoll
