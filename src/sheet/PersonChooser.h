#pragma once
// The choice between several people of one name: one line per person with
// the address, sex and age of that person's latest examination and its date.
// Enter, a double-click or 确定 chooses the highlighted person; 取消 or
// closing chooses no one.
#include "record/RecordStore.h"

#include <QDialog>

#include <functional>
#include <vector>

class QListWidget;
class QPushButton;

namespace brenvoll {

class SheetHost;

class PersonChooser : public QDialog
{
    Q_OBJECT
public:
    // `current` is the line highlighted first; `title` names the command
    // that asks.
    PersonChooser(const QString& name, const std::vector<LatestExam>& people, int current = 0,
                  QWidget* parent = nullptr, const QString& title = QStringLiteral("复制上次体检"));

    QListWidget* personList() const { return m_list; }
    QPushButton* okButton() const { return m_ok; }
    QPushButton* cancelButton() const { return m_cancel; }

signals:
    // The key of the chosen person's latest record.
    void chosen(const QString& key);

private:
    QListWidget* m_list = nullptr;
    QPushButton* m_ok = nullptr;
    QPushButton* m_cancel = nullptr;
};

// Finds the person as 复制上次体检 does: the stored record on `host`'s sheet,
// or the name typed; asks under `title` when several people share the name,
// tells the operator when no one is found. `chosen` gets the person found.
void choosePerson(SheetHost& host, const QString& title,
                  const std::function<void(const PersonRecords&)>& chosen);

} // namespace brenvoll
