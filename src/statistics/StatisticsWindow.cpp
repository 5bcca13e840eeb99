#include "StatisticsWindow.h"

#include "StatisticsChart.h"
#include "base/Clock.h"
#include "base/ExportFile.h"
#include "base/TextRules.h"
#include "print/SheetPrinter.h"
#include "record/DateRules.h"
#include "record/PopulationStore.h"
#include "record/StatisticsRead.h"
#include "statisticsfiles/StatisticsWorkbook.h"
#include "storage/ProgramFiles.h"
#include "ui/ButtonKeys.h"
#include "ui/MessageBox.h"
#include "ui/SingleWindow.h"

#include <QComboBox>
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QProgressDialog>
#include <QPushButton>
#include <QScrollArea>
#include <QSplitter>
#include <QTableWidget>
#include <QVBoxLayout>
#include <qcustomplot.h>

namespace brenvoll {

namespace {

QPointer<StatisticsWindow> g_window;

const QString kDateMessage = QStringLiteral("请填写正确格式的起止日期！日期格式为“2016-01-03”。");
// A count that runs longer than this shows its progress and 取消.
constexpr int kProgressAfterMs = 1000;
// The printed pages keep this far (twips) off the edge of the printable area.
constexpr double kPageInsetTwips = 720;

QLineEdit* dateBox(const QString& name, const QDate& date, QWidget* parent)
{
    auto* box = new QLineEdit(formatDate(date), parent);
    box->setObjectName(name);
    box->setMaximumWidth(110);
    return box;
}

QPushButton* button(const QString& name, const QString& caption, QWidget* parent)
{
    auto* b = new QPushButton(caption, parent);
    b->setObjectName(name);
    return b;
}

} // namespace

StatisticsWindow* StatisticsWindow::showWindow()
{
    return showSingleWindow(g_window, [] { return new StatisticsWindow(); });
}

StatisticsWindow::StatisticsWindow(QWidget* parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("StatisticsWindow"));
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(QStringLiteral("体检统计"));
    resize(1100, 820);

    const QDate today = Clock::today();
    m_fromDate = dateBox(QStringLiteral("fromDate"), QDate(today.year(), 1, 1), this);
    m_toDate = dateBox(QStringLiteral("toDate"), today, this);
    m_address = new QLineEdit(this);
    m_address->setObjectName(QStringLiteral("address"));
    m_countButton = button(QStringLiteral("count"), QStringLiteral("统计"), this);
    connect(m_countButton, &QPushButton::clicked, this, &StatisticsWindow::count);
    // Enter in any of the boxes counts, as 统计 does.
    for (QLineEdit* box : {m_fromDate, m_toDate, m_address}) {
        connect(box, &QLineEdit::returnPressed, this, &StatisticsWindow::count);
    }
    escapeCloses(this);
    m_grouping = new QComboBox(this);
    m_grouping->setObjectName(QStringLiteral("ageGroups"));
    m_grouping->addItem(QStringLiteral("年龄：五岁一组"), int(AgeGrouping::FiveYears));
    m_grouping->addItem(QStringLiteral("年龄：老年人（<65、65–69、70–79、≥80）"), int(AgeGrouping::Elderly));

    auto* inputs = new QHBoxLayout;
    inputs->addWidget(new QLabel(QStringLiteral("日期：从"), this));
    inputs->addWidget(m_fromDate);
    inputs->addWidget(new QLabel(QStringLiteral("至"), this));
    inputs->addWidget(m_toDate);
    inputs->addSpacing(16);
    inputs->addWidget(new QLabel(QStringLiteral("地址："), this));
    inputs->addWidget(m_address, 1);
    inputs->addWidget(m_grouping);
    inputs->addWidget(m_countButton);

    m_summary = new QLabel(this);
    m_summary->setObjectName(QStringLiteral("summary"));
    m_summary->setWordWrap(true);
    // What the rates of 公共卫生指标 are over, as the rows' labels cannot say.
    m_note = new QLabel(publicHealthNote(), this);
    m_note->setObjectName(QStringLiteral("publicHealthNote"));
    m_note->setWordWrap(true);

    m_table = new QTableWidget(this);
    m_table->setObjectName(QStringLiteral("table"));
    // Only the cells of 应管人数 take typing.
    m_table->setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed |
                             QAbstractItemView::AnyKeyPressed);
    m_table->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_table->setSelectionMode(QAbstractItemView::SingleSelection);
    m_table->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
    connect(m_table, &QTableWidget::currentCellChanged, this,
            [this](int row, int, int, int) { showItem(row - 1); });
    connect(m_table, &QTableWidget::itemChanged, this, &StatisticsWindow::populationTyped);

    m_chart = makeChart(this);
    m_chart->setMinimumHeight(260);
    showChartPlaceholder(*m_chart);

    auto* split = new QSplitter(Qt::Vertical, this);
    split->addWidget(m_table);
    // A chart of every row needs more height than the window has: it
    // scrolls, its bars and names readable.
    auto* chartArea = new QScrollArea(this);
    chartArea->setWidgetResizable(true);
    chartArea->setFrameShape(QFrame::NoFrame);
    chartArea->setWidget(m_chart);
    chartArea->setMinimumHeight(260);
    split->addWidget(chartArea);
    split->setStretchFactor(0, 3);
    split->setStretchFactor(1, 2);

    auto* outputs = new QHBoxLayout;
    auto* note = new QLabel(
        QStringLiteral("单击表格中的一行，图表即按年龄组显示该项；单击“体检人数”回到各项总览。"), this);
    outputs->addWidget(note, 1);
    const std::pair<const char*, const char*> buttons[] = {
        {"print", "打印"}, {"exportPdf", "导出PDF…"}, {"exportExcel", "导出Excel…"}};
    for (const auto& [name, caption] : buttons) {
        QPushButton* b = button(QString::fromUtf8(name), QString::fromUtf8(caption), this);
        b->setEnabled(false);
        outputs->addWidget(b);
        m_outputs << b;
    }
    connect(m_outputs[0], &QPushButton::clicked, this, &StatisticsWindow::print);
    connect(m_outputs[1], &QPushButton::clicked, this, &StatisticsWindow::exportPdf);
    connect(m_outputs[2], &QPushButton::clicked, this, &StatisticsWindow::exportExcel);
    QPushButton* close = button(QStringLiteral("close"), QStringLiteral("关闭"), this);
    connect(close, &QPushButton::clicked, this, &QWidget::close);
    outputs->addWidget(close);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(inputs);
    layout->addWidget(m_summary);
    layout->addWidget(m_note);
    layout->addWidget(split, 1);
    layout->addLayout(outputs);
}

void StatisticsWindow::count()
{
    if (m_counting) {
        return;
    }
    const StatisticsFilter filter{m_address->text(), m_fromDate->text(), m_toDate->text(),
                                  AgeGrouping(m_grouping->currentData().toInt())};
    StatisticsTable table;
    QString error;
    m_counting = true;
    m_countButton->setEnabled(false);
    QProgressDialog progress(QStringLiteral("正在统计，请稍候……"), QStringLiteral("取消"), 0, 100, this);
    progress.setObjectName(QStringLiteral("statisticsProgress"));
    progress.setWindowTitle(QStringLiteral("体检统计"));
    // Every window waits: a save elsewhere would wait for the read's lock.
    progress.setWindowModality(Qt::ApplicationModal);
    progress.setMinimumDuration(kProgressAfterMs);
    progress.setAutoClose(false);
    progress.setAutoReset(false);
    progress.setValue(0);
    QGuiApplication::setOverrideCursor(Qt::BusyCursor);
    const auto tell = [&progress](qint64 read, qint64 most) {
        const int percent = int(std::min<qint64>(99, 100 * read / std::max<qint64>(most, 1)));
        if (percent != progress.value()) {
            progress.setValue(percent);
        }
        QCoreApplication::processEvents();
        return !progress.wasCanceled();
    };
    const StatisticsRead::Error outcome = StatisticsRead::run(filter, table, tell, &error);
    QGuiApplication::restoreOverrideCursor();
    progress.close();
    m_counting = false;
    m_countButton->setEnabled(true);
    switch (outcome) {
    case StatisticsRead::Error::None:
        break;
    case StatisticsRead::Error::Cancelled:
        return;
    case StatisticsRead::Error::BadDate:
        MessageBox::warning(this, kDateMessage);
        return;
    case StatisticsRead::Error::Database:
        MessageBox::warning(this, QStringLiteral("统计没有完成：") + error);
        return;
    }
    const auto from = parseSearchDate(filter.from);
    const auto to = parseSearchDate(filter.to);
    m_report = StatisticsReport{formatDate(*from), formatDate(*to), trimBlanks(filter.address), table, {}};
    loadPopulation();
    fillTable();
    for (QPushButton* b : m_outputs) {
        b->setEnabled(true);
    }
}

void StatisticsWindow::loadPopulation()
{
    m_offeredYear.reset();
    m_offered.clear();
    QString error;
    const int year = m_report->year();
    if (!PopulationStore::read(year, m_report->population, &error)) {
        MessageBox::warning(this, QStringLiteral("无法读取应管人数：") + error);
        return;
    }
    if (!m_report->population.isEmpty()) {
        return;
    }
    // The latest earlier year's figures as a start: shown, not counted
    // until kept for this year.
    const auto earlier = PopulationStore::latestBefore(year);
    PopulationFigures offered;
    if (earlier && PopulationStore::read(*earlier, offered) && !offered.isEmpty()) {
        m_offeredYear = *earlier;
        m_offered = offered;
    }
}

void StatisticsWindow::fillTable()
{
    const StatisticsTable& table = m_report->table;
    m_summary->setText(table.summary());
    const std::vector<StatisticsLine> lines = m_report->lines();
    const int columns = table.columnCount();
    const QStringList keys = StatisticsColumns::keys(table.grouping());
    const QSignalBlocker quiet(m_table);
    m_table->clear();
    m_table->clearSpans();
    m_table->setRowCount(int(lines.size()));
    m_table->setColumnCount(columns);
    m_table->setHorizontalHeaderLabels(table.columnTitles());
    QStringList titles;
    for (const StatisticsLine& line : lines) {
        titles << line.title;
    }
    m_table->setVerticalHeaderLabels(titles);
    m_populationRow = -1;
    for (int row = 0; row < int(lines.size()); ++row) {
        const StatisticsLine& line = lines[size_t(row)];
        if (line.kind == StatisticsLine::Kind::Heading) {
            auto* item = new QTableWidgetItem(line.definition);
            item->setFlags(Qt::ItemIsEnabled);
            QFont bold = item->font();
            bold.setBold(true);
            item->setFont(bold);
            m_table->setItem(row, 0, item);
            m_table->setSpan(row, 0, 1, columns);
            m_table->verticalHeaderItem(row)->setFont(bold);
            continue;
        }
        const bool population = line.kind == StatisticsLine::Kind::Population;
        if (population) {
            m_populationRow = row;
        }
        for (int c = 0; c < columns; ++c) {
            const StatisticsCell& cell = line.cells[size_t(c)];
            auto* item = new QTableWidgetItem(cell.text);
            item->setTextAlignment(Qt::AlignCenter);
            Qt::ItemFlags flags = Qt::ItemIsEnabled | Qt::ItemIsSelectable;
            if (population && c != table.notExaminedColumn()) {
                flags |= Qt::ItemIsEditable;
                if (m_offeredYear && m_offered.contains(keys[c])) {
                    item->setText(QString::number(m_offered.value(keys[c])));
                    item->setForeground(Qt::gray);
                    item->setToolTip(
                        QStringLiteral("%1年的应管人数，供参考；修改任一格即保存为%2年的应管人数。")
                            .arg(*m_offeredYear)
                            .arg(m_report->year()));
                } else {
                    item->setToolTip(QStringLiteral("%1年的应管人数：双击填写。").arg(m_report->year()));
                }
            } else if (cell.denominator && !population) {
                item->setToolTip(QStringLiteral("分子 %1，分母 %2")
                                     .arg(figureText(cell.numerator.value_or(0), cell.sum),
                                          figureText(*cell.denominator, false)));
            }
            item->setFlags(flags);
            m_table->setItem(row, c, item);
        }
        if (!line.definition.isEmpty()) {
            m_table->verticalHeaderItem(row)->setToolTip(line.definition + QStringLiteral("（") +
                                                         line.source + QStringLiteral("）"));
        }
    }
    showItem(-1);
}

void StatisticsWindow::populationTyped(QTableWidgetItem* item)
{
    if (!m_report || !item || item->row() != m_populationRow) {
        return;
    }
    const QStringList keys = StatisticsColumns::keys(m_report->table.grouping());
    PopulationFigures figures;
    for (int c = 0; c < keys.size(); ++c) {
        const QTableWidgetItem* cell = m_table->item(m_populationRow, c);
        const QString text = cell ? trimBlanks(cell->text()) : QString();
        if (text.isEmpty()) {
            continue;
        }
        bool ok = false;
        const qint64 number = text.toLongLong(&ok);
        if (!ok || number < 0) {
            MessageBox::warning(this, QStringLiteral("应管人数请填写整数。"));
            QMetaObject::invokeMethod(
                this, [this] { fillTable(); }, Qt::QueuedConnection);
            return;
        }
        figures[keys[c]] = number;
    }
    // The figures of columns that this grouping does not show stay as kept.
    for (auto kept = m_report->population.cbegin(); kept != m_report->population.cend(); ++kept) {
        if (!keys.contains(kept.key())) {
            figures[kept.key()] = kept.value();
        }
    }
    QString error;
    if (!PopulationStore::save(m_report->year(), figures, &error)) {
        MessageBox::warning(this, QStringLiteral("应管人数没有保存：") + error);
        QMetaObject::invokeMethod(
            this, [this] { fillTable(); }, Qt::QueuedConnection);
        return;
    }
    m_report->population = figures;
    m_offeredYear.reset();
    m_offered.clear();
    // Filled anew once the editor has let go of the cell.
    QMetaObject::invokeMethod(
        this, [this] { fillTable(); }, Qt::QueuedConnection);
}

void StatisticsWindow::showItem(int item)
{
    if (!m_report) {
        return;
    }
    const bool byAge = item >= 0 && item < int(statisticsItems().size());
    showChart(*m_chart, byAge ? byAgeChart(m_report->table, item) : overviewChart(m_report->table));
}

void StatisticsWindow::print()
{
    if (!m_report) {
        return;
    }
    const StatisticsReport& report = *m_report;
    const PrintOutcome outcome = printDocument(
        QStringLiteral("体检统计"), kPageInsetTwips, [&](QPrinter& printer, const QRectF& area) {
            return paintStatisticsPages(printer, area, report, *m_chart);
        });
    if (!outcome.ok()) {
        MessageBox::warning(this, outcome.status == PrintOutcome::NoPrinter
                                      ? kNoPrinterMessage
                                      : QStringLiteral("统计报表没有打印出来：") + outcome.reason);
    }
}

QString StatisticsWindow::chosenPath(const QString& filter, const QStringList& suffixes)
{
    const QString chosen = trimBlanks(FileDialogs::saveFileName(
        this, QStringLiteral("另存为"), filter, proposedStatisticsName(*m_report, suffixes.first())));
    if (chosen.isEmpty()) {
        return {};
    }
    const bool named = std::ranges::any_of(
        suffixes, [&chosen](const QString& suffix) { return chosen.endsWith(suffix, Qt::CaseInsensitive); });
    QString path = named ? chosen : chosen + suffixes.first();
    const QString shown = QDir::toNativeSeparators(path);
    const QString refusal = refusalOf(path, programFiles());
    if (!refusal.isEmpty()) {
        MessageBox::warning(this, QStringLiteral("无法导出到文件“%1”：%2。").arg(shown, refusal));
        return {};
    }
    if (QFileInfo::exists(path) &&
        !MessageBox::askYesNo(this, QStringLiteral("文件“%1”已存在，要替换它吗？").arg(shown))) {
        return {};
    }
    return path;
}

void StatisticsWindow::exportPdf()
{
    if (!m_report) {
        return;
    }
    const QString path = chosenPath(QStringLiteral("PDF文件 (*.pdf)"), {QStringLiteral(".pdf")});
    if (path.isEmpty()) {
        return;
    }
    QString error;
    if (!writeStatisticsPdf(path, *m_report, *m_chart, &error)) {
        MessageBox::warning(
            this, QStringLiteral("无法导出到文件“%1”：%2。").arg(QDir::toNativeSeparators(path), error));
        return;
    }
    MessageBox::notice(this, QStringLiteral("文件导出成功！"));
}

void StatisticsWindow::exportExcel()
{
    if (!m_report) {
        return;
    }
    // .xlsx unless the operator names an Excel 97-2003 file.
    const QString path = chosenPath(QStringLiteral("Excel工作簿 (*.xlsx);;Excel 97-2003工作簿 (*.xls)"),
                                    {QStringLiteral(".xlsx"), QStringLiteral(".xls")});
    if (path.isEmpty()) {
        return;
    }
    QString error;
    const bool written = path.endsWith(QStringLiteral(".xls"), Qt::CaseInsensitive)
                             ? writeStatisticsXls(path, *m_report, &error)
                             : writeStatisticsXlsx(path, *m_report, &error);
    if (!written) {
        MessageBox::warning(
            this, QStringLiteral("无法导出到文件“%1”：%2。").arg(QDir::toNativeSeparators(path), error));
        return;
    }
    MessageBox::notice(this, QStringLiteral("文件导出成功！"));
}

} // namespace brenvoll
