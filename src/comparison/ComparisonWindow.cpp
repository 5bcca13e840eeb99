#include "ComparisonWindow.h"

#include "ComparisonPlot.h"
#include "base/TextRules.h"
#include "print/SheetExport.h"
#include "print/SheetPrinter.h"
#include "sheet/SheetView.h"
#include "ui/MessageBox.h"
#include "ui/Twips.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QSplitter>
#include <QTableWidget>
#include <QVBoxLayout>
#include <qcustomplot.h>

namespace brenvoll {

namespace {
const QString kPrintTitle = QStringLiteral("健康体检历年对比");
} // namespace

ComparisonWindow::ComparisonWindow(QWidget* parent) : QWidget(parent, Qt::Window)
{
    setObjectName(QStringLiteral("comparisonWindow"));
    setWindowTitle(QStringLiteral("历年对比"));

    m_person = new QLabel(this);
    m_person->setObjectName(QStringLiteral("personLabel"));
    m_person->setTextFormat(Qt::PlainText);

    m_table = new QTableWidget(this);
    m_table->setObjectName(QStringLiteral("comparisonTable"));
    m_table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_table->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_table->setSelectionMode(QAbstractItemView::SingleSelection);
    m_table->horizontalHeader()->setToolTip(QStringLiteral("双击日期，在表格中打开这次体检"));

    m_plot = new QCustomPlot(this);
    m_plot->setObjectName(QStringLiteral("comparisonPlot"));
    m_plot->setMinimumHeight(twips::toPx(this, 3000));

    m_plotNote = new QLabel(this);
    m_plotNote->setObjectName(QStringLiteral("plotNote"));
    m_plotNote->setTextFormat(Qt::PlainText);
    m_plotNote->setWordWrap(true);

    m_print = new QPushButton(QStringLiteral("打印"), this);
    m_print->setObjectName(QStringLiteral("printButton"));
    m_pdf = new QPushButton(QStringLiteral("导出PDF…"), this);
    m_pdf->setObjectName(QStringLiteral("pdfButton"));

    auto* plotArea = new QWidget(this);
    auto* plotLayout = new QVBoxLayout(plotArea);
    plotLayout->setContentsMargins(0, 0, 0, 0);
    plotLayout->addWidget(m_plot, 1);
    plotLayout->addWidget(m_plotNote);
    auto* splitter = new QSplitter(Qt::Vertical, this);
    splitter->addWidget(m_table);
    splitter->addWidget(plotArea);

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(m_person, 1);
    buttons->addWidget(m_print);
    buttons->addWidget(m_pdf);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(buttons);
    layout->addWidget(splitter, 1);
    resize(twips::toPx(this, 12000), twips::toPx(this, 11000));

    connect(m_table, &QTableWidget::currentCellChanged, this, [this](int row) { plotRow(row); });
    connect(m_table->horizontalHeader(), &QHeaderView::sectionDoubleClicked, this, [this](int column) {
        if (column < 0 || size_t(column) >= m_comparison.columns.size()) {
            return;
        }
        const SeriesColumn& chosen = m_comparison.columns[size_t(column)];
        if (!chosen.unsaved) {
            emit examinationChosen(chosen.record.key());
        }
    });
    connect(m_print, &QPushButton::clicked, this, &ComparisonWindow::print);
    connect(m_pdf, &QPushButton::clicked, this, &ComparisonWindow::exportPdf);
}

void ComparisonWindow::setComparison(ComparisonSheet comparison)
{
    m_comparison = std::move(comparison);
    setWindowTitle(QStringLiteral("历年对比 - ") + trimBlanks(m_comparison.name));
    QStringList person{QStringLiteral("姓名：") + trimBlanks(m_comparison.name)};
    if (!trimBlanks(m_comparison.sex).isEmpty()) {
        person << QStringLiteral("性别：") + trimBlanks(m_comparison.sex);
    }
    person << QStringLiteral("地址：") + trimBlanks(m_comparison.address);
    m_person->setText(person.join(QStringLiteral("　　")));
    fillTable();
    m_table->setCurrentCell(0, qMax(0, m_table->columnCount() - 1));
    plotRow(0);
}

void ComparisonWindow::fillTable()
{
    const QList<SeriesRow>& rows = seriesRows();
    const auto& columns = m_comparison.columns;
    m_table->clear();
    m_table->setRowCount(int(rows.size()));
    m_table->setColumnCount(int(columns.size()));
    QStringList headings;
    for (const SeriesColumn& column : columns) {
        headings << column.title();
    }
    m_table->setHorizontalHeaderLabels(headings);
    QStringList names;
    for (const SeriesRow& row : rows) {
        names << row.title();
    }
    m_table->setVerticalHeaderLabels(names);
    for (qsizetype r = 0; r < rows.size(); ++r) {
        for (size_t c = 0; c < columns.size(); ++c) {
            const SeriesCell cell = seriesCell(rows[r], columns[c].record);
            auto* item = new QTableWidgetItem(cell.text);
            item->setTextAlignment(Qt::AlignCenter);
            if (cell.flag.kind != ValueFlag::Kind::None) {
                item->setForeground(valueFlagColour(cell.flag.kind));
                item->setToolTip(cell.flag.reason);
            }
            m_table->setItem(int(r), int(c), item);
        }
    }
    m_table->resizeColumnsToContents();
}

void ComparisonWindow::plotRow(int row)
{
    const QList<SeriesRow>& rows = seriesRows();
    if (row < 0 || row >= rows.size()) {
        return;
    }
    m_plotNote->setText(plotSeriesRow(*m_plot, rows[row], m_comparison.columns));
}

void ComparisonWindow::print()
{
    const ComparisonSheet comparison = m_comparison;
    const PrintOutcome outcome = printPage(
        kPrintTitle,
        [&comparison](QPainter& painter, double left, double top) {
            drawComparisonPage(painter, comparison, left, top);
        },
        comparisonPageTexts(comparison));
    if (!outcome.ok()) {
        MessageBox::warning(this, outcome.message());
    }
}

void ComparisonWindow::exportPdf()
{
    const ComparisonSheet comparison = m_comparison;
    exportPagePdf(
        this, QStringLiteral("导出PDF"), proposedComparisonPdfName(comparison), kPrintTitle,
        [&comparison](QPainter& painter, double left, double top) {
            drawComparisonPage(painter, comparison, left, top);
        },
        comparisonPageTexts(comparison));
}

} // namespace brenvoll
