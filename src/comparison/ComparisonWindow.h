#pragma once
// 历年对比: one resident's examinations side by side, one column each, the
// oldest left, and the sheet's unsaved typing as a last column when there is
// any. Values are flagged as on the sheet; choosing a row plots it over the
// examination dates. 打印 and 导出PDF… put the comparison on one A4 page for
// the resident; a double-click on a column's heading asks for that
// examination on the sheet.
#include "ComparisonPage.h"

#include <QWidget>

class QCustomPlot;
class QLabel;
class QPushButton;
class QTableWidget;

namespace brenvoll {

class ComparisonWindow : public QWidget
{
    Q_OBJECT
public:
    explicit ComparisonWindow(QWidget* parent = nullptr);

    // Shows `person`'s examinations, `columns` in the order shown, and
    // plots the first row.
    void setComparison(ComparisonSheet comparison);
    const ComparisonSheet& comparison() const { return m_comparison; }

    // Plots row `row` of seriesRows() and tells under the plot what was left out.
    void plotRow(int row);

    // 打印: the page on the default printer, as the sheet prints.
    void print();
    // 导出PDF…: the page into a PDF file the operator chooses.
    void exportPdf();

    QLabel* personLabel() const { return m_person; }
    QTableWidget* table() const { return m_table; }
    QCustomPlot* plot() const { return m_plot; }
    QLabel* plotNote() const { return m_plotNote; }
    QPushButton* printButton() const { return m_print; }
    QPushButton* pdfButton() const { return m_pdf; }

signals:
    // The stored examination whose column heading was double-clicked.
    void examinationChosen(const QString& key);

private:
    void fillTable();

    ComparisonSheet m_comparison;
    QLabel* m_person = nullptr;
    QTableWidget* m_table = nullptr;
    QCustomPlot* m_plot = nullptr;
    QLabel* m_plotNote = nullptr;
    QPushButton* m_print = nullptr;
    QPushButton* m_pdf = nullptr;
};

} // namespace brenvoll
