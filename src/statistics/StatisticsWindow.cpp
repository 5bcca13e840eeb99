#include "StatisticsWindow.h"

#include "StatisticsChart.h"
#include "base/Clock.h"
#include "base/ExportFile.h"
#include "base/TextRules.h"
#include "print/SheetPrinter.h"
#include "record/DateRules.h"
#include "record/StatisticsRead.h"
#include "storage/ProgramFiles.h"
#include "ui/MessageBox.h"
#include "ui/SingleWindow.h"

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
    connect(m_address, &QLineEdit::returnPressed, this, &StatisticsWindow::count);

    auto* inputs = new QHBoxLayout;
    inputs->addWidget(new QLabel(QStringLiteral("日期：从"), this));
    inputs->addWidget(m_fromDate);
    inputs->addWidget(new QLabel(QStringLiteral("至"), this));
    inputs->addWidget(m_toDate);
    inputs->addSpacing(16);
    inputs->addWidget(new QLabel(QStringLiteral("地址："), this));
    inputs->addWidget(m_address, 1);
    inputs->addWidget(m_countButton);

    m_summary = new QLabel(this);
    m_summary->setObjectName(QStringLiteral("summary"));
    m_summary->setWordWrap(true);

    m_table = new QTableWidget(this);
    m_table->setObjectName(QStringLiteral("table"));
    m_table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_table->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_table->setSelectionMode(QAbstractItemView::SingleSelection);
    m_table->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
    connect(m_table, &QTableWidget::currentCellChanged, this,
            [this](int row, int, int, int) { showItem(row - 1); });

    m_chart = makeChart(this);
    m_chart->setMinimumHeight(260);

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
    layout->addWidget(split, 1);
    layout->addLayout(outputs);
}

void StatisticsWindow::count()
{
    if (m_counting) {
        return;
    }
    const StatisticsFilter filter{m_address->text(), m_fromDate->text(), m_toDate->text()};
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
    m_report = StatisticsReport{formatDate(*from), formatDate(*to), trimBlanks(filter.address), table};
    fillTable();
    for (QPushButton* b : m_outputs) {
        b->setEnabled(true);
    }
}

void StatisticsWindow::fillTable()
{
    const StatisticsTable& table = m_report->table;
    m_summary->setText(table.summary());
    const QStringList titles = table.rowTitles();
    const int columns = StatisticsColumns::count();
    const QSignalBlocker quiet(m_table);
    m_table->clear();
    m_table->setRowCount(int(titles.size()));
    m_table->setColumnCount(columns);
    m_table->setHorizontalHeaderLabels(StatisticsColumns::titles());
    m_table->setVerticalHeaderLabels(titles);
    for (int row = -1; row < int(titles.size()) - 1; ++row) {
        for (int c = 0; c < columns; ++c) {
            auto* item = new QTableWidgetItem(table.cellText(row, c));
            item->setTextAlignment(Qt::AlignCenter);
            m_table->setItem(row + 1, c, item);
        }
    }
    showItem(-1);
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

QString StatisticsWindow::chosenPath(const QString& filter, const QString& suffix)
{
    const QString chosen = trimBlanks(FileDialogs::saveFileName(this, QStringLiteral("另存为"), filter,
                                                                proposedStatisticsName(*m_report, suffix)));
    if (chosen.isEmpty()) {
        return {};
    }
    QString path = chosen.endsWith(suffix, Qt::CaseInsensitive) ? chosen : chosen + suffix;
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
    const QString path = chosenPath(QStringLiteral("PDF文件 (*.pdf)"), QStringLiteral(".pdf"));
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
    const QString path = chosenPath(QStringLiteral("Excel文件 (*.xls)"), QStringLiteral(".xls"));
    if (path.isEmpty()) {
        return;
    }
    QString error;
    if (!writeStatisticsXls(path, *m_report, &error)) {
        MessageBox::warning(
            this, QStringLiteral("无法导出到文件“%1”：%2。").arg(QDir::toNativeSeparators(path), error));
        return;
    }
    MessageBox::notice(this, QStringLiteral("文件导出成功！"));
}

} // namespace brenvoll
