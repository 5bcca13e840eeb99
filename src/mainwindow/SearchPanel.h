#pragma once
// The search panel of the main window: name and address filters, the first
// and the last day and the button 查 询 in their frame, and below it the
// result list with the count of its lines.
#include "record/RecordSearch.h"

#include <QObject>

class QLineEdit;
class QListView;
class QWidget;

namespace brenvoll {

class ResultModel;

class SearchPanel : public QObject
{
    Q_OBJECT
public:
    // Builds the panel's controls into `client`, the window's client area.
    explicit SearchPanel(QWidget* client);

    SearchFilter filter() const;
    // The days searched, as typed.
    QString firstDay() const;
    QString lastDay() const;
    void setDays(const QString& first, const QString& last);
    // No name or address, `date` the first and the last day: a day's records.
    void showDay(const QString& date);

    ResultModel* results() const { return m_results; }
    // The selected line (-1: none); selecting line k (-1: none) scrolls to it.
    int selectedLine() const;
    void selectLine(int k);

signals:
    // 查 询 or Enter in a filter.
    void searchRequested();
    // The operator or the program selected another line.
    void selectionChanged();

private:
    QLineEdit* m_nameFilter = nullptr;    // Text1
    QLineEdit* m_addressFilter = nullptr; // Text2
    QLineEdit* m_firstDay = nullptr;      // Text3
    QLineEdit* m_lastDay = nullptr;       // Text4
    QListView* m_list = nullptr;          // List1
    ResultModel* m_results = nullptr;
};

} // namespace brenvoll
