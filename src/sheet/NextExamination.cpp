#include "NextExamination.h"

#include "PersonChooser.h"
#include "SheetHost.h"
#include "SheetView.h"
#include "base/Clock.h"
#include "record/Reexamination.h"
#include "ui/CommandTable.h"
#include "ui/MessageBox.h"

#include <QLineEdit>

namespace brenvoll {

namespace {

// A new sheet started from the stored record `key`; nothing changes when it
// cannot be read.
void startNextExamination(SheetHost& host, const QString& key)
{
    ExamRecord last;
    QString error;
    if (!RecordStore::load(key, last, &error)) {
        MessageBox::warning(host.hostWidget(), QStringLiteral("无法读取记录：") + error);
        return;
    }
    host.newRecord();
    SheetView* sheet = host.sheet();
    const ExamRecord next = nextExamination(last, Clock::today());
    for (const BoxDef& def : FieldMap::boxes()) {
        if (def.field != Field::Key) {
            sheet->box(def.field)->setText(next[def.field]);
            sheet->box(def.field)->setCursorPosition(0);
        }
    }
    // What is new this year starts at the height.
    sheet->box(Field::Height)->setFocus(Qt::OtherFocusReason);
}

} // namespace

void addNextExamination(SheetHost& host)
{
    host.commands().add({.menu = QStringLiteral("文件"),
                         .place = 102,
                         .text = QStringLiteral("复制上次体检"),
                         .shortcut = QKeySequence(QStringLiteral("Ctrl+R")),
                         .run = [&host] { copyLastExamination(host); }});
}

void copyLastExamination(SheetHost& host)
{
    choosePerson(host, QStringLiteral("复制上次体检"),
                 [&host](const PersonRecords& person) { startNextExamination(host, person.latest.key); });
}

} // namespace brenvoll
