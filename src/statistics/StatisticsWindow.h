#pragma once
// The window "体检统计": who was examined in a range of dates and what was
// found, by sex and age group, as a table with a chart under it; printed,
// and exported to PDF and Excel.
#include "StatisticsPages.h"

#include <QPointer>
#include <QWidget>

#include <optional>

class QComboBox;
class QCustomPlot;
class QLabel;
class QTableWidgetItem;
class QLineEdit;
class QPushButton;
class QTableWidget;

namespace brenvoll {

class StatisticsWindow : public QWidget
{
    Q_OBJECT
public:
    // Shows the one window of this kind, creating it on first use.
    static StatisticsWindow* showWindow();

    // 统计: counts the examinations of the dates and the address.
    void count();
    // Shows row `item` of the table by age group in the chart; -1 shows
    // every row, total and by sex.
    void showItem(int item);
    // 打印: the table and the chart on the printer.
    void print();
    // 导出PDF… and 导出Excel…: ask for a file name and write it.
    void exportPdf();
    void exportExcel();

    QLineEdit* fromDate() const { return m_fromDate; }
    QLineEdit* toDate() const { return m_toDate; }
    QLineEdit* addressFilter() const { return m_address; }
    // The age groups of the columns: five years each, or the elderly's.
    QComboBox* ageGrouping() const { return m_grouping; }
    QPushButton* countButton() const { return m_countButton; }
    QLabel* summary() const { return m_summary; }
    QTableWidget* table() const { return m_table; }
    QCustomPlot* chart() const { return m_chart; }
    // The count shown, if any.
    const std::optional<StatisticsReport>& report() const { return m_report; }

private:
    explicit StatisticsWindow(QWidget* parent = nullptr);
    void fillTable();
    // The population of the count's year, or the latest earlier year's as a
    // start (m_offeredYear).
    void loadPopulation();
    // A cell of 应管人数 typed: the row is kept for the count's year.
    void populationTyped(QTableWidgetItem* item);
    // The name chosen with the first of `suffixes` added unless it ends with one.
    QString chosenPath(const QString& filter, const QStringList& suffixes);

    QLineEdit* m_fromDate = nullptr;
    QLineEdit* m_toDate = nullptr;
    QLineEdit* m_address = nullptr;
    QComboBox* m_grouping = nullptr;
    QPushButton* m_countButton = nullptr;
    QLabel* m_summary = nullptr;
    QLabel* m_note = nullptr;
    QTableWidget* m_table = nullptr;
    QCustomPlot* m_chart = nullptr;
    QList<QPushButton*> m_outputs; // 打印, 导出PDF…, 导出Excel…
    std::optional<StatisticsReport> m_report;
    bool m_counting = false;
    int m_populationRow = -1;
    std::optional<int> m_offeredYear; // the year of figures offered as a start
    PopulationFigures m_offered;
};

} // namespace brenvoll
