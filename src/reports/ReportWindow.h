#pragma once
// The report window "生成报表": the examinations of one address and one range
// of dates as aligned text lines with their count, and their export to an
// Excel workbook.
#include "ReportQuery.h"

#include <QPointer>
#include <QWidget>

#include <array>
#include <vector>

class QGroupBox;
class QFrame;
class QLabel;
class QLineEdit;
class QListView;
class QPushButton;

namespace brenvoll {

class ReportModel;

class ReportWindow : public QWidget
{
    Q_OBJECT
public:
    // Shows the one window of this kind, creating it on first use; an open
    // window is brought to the front.
    static ReportWindow* showWindow();
    // The window if it is loaded, else null.
    static ReportWindow* loaded();

    // The name column's padding: names 4 to 6 half-width cells wide are
    // filled with blanks to 8 cells.
    static QString w(const QString& name);

    // Centres the window and puts the last year into the date boxes.
    void Form_Load();
    void Command3_Click(); // 查  询
    void Command4_Click(); // 导出到Excel
    void Command2_Click(); // 退  出

    ReportModel* report() const { return m_report; }

    QFrame* Picture1 = nullptr;
    // Column heads 0, 1, 2, 3 and 5; there is no head 4.
    std::array<QPushButton*, 6> Command1{};
    QListView* List1 = nullptr;
    QGroupBox* Frame1 = nullptr;
    QLabel* Label30 = nullptr;
    QLineEdit* Text2 = nullptr; // address filter
    std::array<QLabel*, 2> Label31{};
    QLineEdit* Text3 = nullptr; // first day
    QLineEdit* Text4 = nullptr; // last day
    QLabel* Label1 = nullptr;   // record count
    QLineEdit* Text1 = nullptr; // last export path, never shown
    QPushButton* Command3 = nullptr;
    QPushButton* Command4 = nullptr;
    QPushButton* Command2 = nullptr;
    QLabel* Label2 = nullptr;

private:
    explicit ReportWindow(QWidget* parent = nullptr);
    int px(double twips) const;
    void place(QWidget* widget, int left, int top, int width, int height) const;
    void buildList();
    void buildInputs();
    QFont reportFont() const;
    // Runs the report query from the current boxes and shows the count.
    // False, after telling the operator why, when it could not run.
    bool queryRows(std::vector<ReportRow>& rows);
    void setCount(qsizetype count);
    // Writes the workbook, showing progress on long runs.
    bool writeWorkbook(const QString& path, const std::vector<ReportRow>& rows, QString* error);

    ReportModel* m_report = nullptr;
    static QPointer<ReportWindow> s_instance;
};

} // namespace brenvoll
