// 复制上次体检: a resident's yearly re-examination starts from the last one.
#include "MainWindow.h"
#include "PersonChooser.h"
#include "base/Clock.h"
#include "base/TextRules.h"
#include "record/Reexamination.h"
#include "sheet/SheetView.h"
#include "ui/MessageBox.h"

#include <QLineEdit>

namespace brenvoll {

namespace {
const QString kNoRecordMessage = QStringLiteral("没有找到此人的体检记录。");
const QString kReadMessage = QStringLiteral("无法读取记录：");
} // namespace

void MainWindow::copyLastExamination()
{
    // A stored record on the sheet names the person, its address telling
    // apart namesakes; on a new sheet the name typed does.
    QString name = box(Field::Name)->text();
    std::optional<QString> address;
    ExamRecord shown;
    if (RecordStore::load(box(Field::Key)->text(), shown)) {
        name = shown[Field::Name];
        address = trimBlanks(shown[Field::Address]);
    }
    std::vector<LatestExam> people;
    QString error;
    if (!RecordStore::latestByAddress(name, people, &error)) {
        MessageBox::warning(this, kReadMessage + error);
        return;
    }
    if (address) {
        std::erase_if(people, [&address](const LatestExam& person) { return person.address != *address; });
    }
    if (people.empty()) {
        MessageBox::notice(this, kNoRecordMessage);
        return;
    }
    if (people.size() == 1) {
        startNextExamination(people.front().key);
        return;
    }
    auto* chooser = new PersonChooser(trimBlanks(name), people, this);
    connect(chooser, &PersonChooser::chosen, this, &MainWindow::startNextExamination);
    chooser->open();
}

void MainWindow::startNextExamination(const QString& key)
{
    ExamRecord last;
    QString error;
    if (!RecordStore::load(key, last, &error)) {
        MessageBox::warning(this, kReadMessage + error);
        return;
    }
    newRecord();
    const ExamRecord next = nextExamination(last, Clock::today());
    for (const BoxDef& def : FieldMap::boxes()) {
        if (def.field != Field::Key) {
            box(def.field)->setText(next[def.field]);
            box(def.field)->setCursorPosition(0);
        }
    }
    // What is new this year starts at the height.
    box(Field::Height)->setFocus(Qt::OtherFocusReason);
}

} // namespace brenvoll
