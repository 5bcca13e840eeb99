#pragma once
// The report window "生成报表": the examinations of one address and one range
// of dates as aligned text lines with their count, and their export to an
// Excel workbook.
#include "ReportQuery.h"

#include <QPointer>
#include <QWidget>

#include <array>

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
    static QString paddedName(const QString& name);

    // Centres the window and puts the last year into the date boxes.
    void loadOnStart();
    // 查  询: lists the records of the address and the dates with their count.
    void search();
    // 导出到Excel: asks for a file name and writes the records of the boxes
    // to a workbook.
    void exportToExcel();
    // 退  出: closes the window.
    void closeWindow();

    ReportModel* report() const { return m_report; }

    QLineEdit* addressFilter() const { return m_addressFilter; }
    QLineEdit* fromDate() const { return m_fromDate; }
    QLineEdit* toDate() const { return m_toDate; }
    QLabel* countLabel() const { return m_countLabel; }
    // The name last chosen for an export, as chosen; a hidden box.
    QLineEdit* lastExportPath() const { return m_lastExportPath; }
    QPushButton* searchButton() const { return m_searchButton; }
    QPushButton* exportButton() const { return m_exportButton; }
    QPushButton* closeButton() const { return m_closeButton; }
    // The list's column head `index` (0, 1, 2, 3 or 5); null for 4.
    QPushButton* columnHead(int index) const { return m_columnHeads[size_t(index)]; }

private:
    explicit ReportWindow(QWidget* parent = nullptr);
    int px(double twips) const;
    void place(QWidget* widget, int left, int top, int width, int height) const;
    void buildList();
    void buildInputs();
    QFont reportFont() const;
    // The filter in the boxes.
    ReportFilter filter() const;
    // True when the query ran; else tells the operator why it did not.
    bool queried(ReportQuery::Error result, const QString& error);
    void setCount(qsizetype count);
    struct Written
    {
        ReportQuery::Error queried = ReportQuery::Error::None;
        bool saved = false;
        QString error; // why the query or the file failed
        qsizetype rows = 0;
        qsizetype cutCells = 0; // texts cut to what a cell holds
    };
    // Writes the workbook of the filter's records as they are read, showing
    // progress against the `expected` number of records on long runs.
    Written writeWorkbook(const QString& path, const ReportFilter& filter, qint64 expected);

    QFrame* m_listPanel = nullptr; // the sunken panel around heads and list
    // Column heads 0, 1, 2, 3 and 5; there is no head 4.
    std::array<QPushButton*, 6> m_columnHeads{};
    QListView* m_reportList = nullptr;
    QGroupBox* m_filterPanel = nullptr;
    QLabel* m_addressCaption = nullptr;
    QLineEdit* m_addressFilter = nullptr;
    QLabel* m_fromCaption = nullptr;
    QLineEdit* m_fromDate = nullptr;
    QLabel* m_toCaption = nullptr;
    QLineEdit* m_toDate = nullptr;
    QLabel* m_countLabel = nullptr;
    QLineEdit* m_lastExportPath = nullptr; // never shown
    QPushButton* m_searchButton = nullptr;
    QPushButton* m_exportButton = nullptr;
    QPushButton* m_closeButton = nullptr;
    QLabel* m_printHint = nullptr;

    ReportModel* m_report = nullptr;
    static QPointer<ReportWindow> s_instance;
};

} // namespace brenvoll
