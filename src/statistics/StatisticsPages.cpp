#include "StatisticsPages.h"

#include "StatisticsChart.h"
#include "base/ExportFile.h"
#include "formats/XlsExport.h"
#include "print/SheetPdf.h"
#include "record/SheetText.h"
#include "storage/ProgramFiles.h"

#include <QBuffer>
#include <QCoreApplication>
#include <QPageLayout>
#include <QPdfWriter>
#include <qcustomplot.h>

namespace brenvoll {

namespace {

QFont pageFont(double points, bool bold = false)
{
    return sheetFont(FontDef{QString(), points, bold});
}

// The table page by page: a title, the heading and the summary on the first,
// the column titles on every one, as many rows as fit.
class TablePainter
{
public:
    TablePainter(QPainter& painter, QPagedPaintDevice& device, const QRectF& area,
                 const StatisticsReport& report)
        : m_painter(painter), m_device(device), m_area(area), m_report(report)
    {
    }

    void paint()
    {
        const int columns = m_report.table.columnCount();
        m_firstWidth = m_area.width() * 0.16;
        m_cellWidth = (m_area.width() - m_firstWidth) / columns;
        QStringList heads{QStringLiteral("项目")};
        heads += m_report.table.columnTitles();

        double y = paintHeading();
        bool headed = false;
        for (const StatisticsLine& line : m_report.lines()) {
            QStringList cells{line.title};
            for (int c = 0; c < columns; ++c) {
                cells << (size_t(c) < line.cells.size() ? line.cells[size_t(c)].text : QString());
            }
            const double height = rowHeight(cells, false);
            // The column titles head every page of the table; 公共卫生指标
            // starts a page of its own, so that it leaves the clinic whole.
            const bool section = line.kind == StatisticsLine::Kind::Heading;
            if (headed && (section || y + height > m_area.bottom())) {
                m_device.newPage();
                y = m_area.top();
                headed = false;
            }
            if (!headed) {
                y += paintRow(heads, y, true);
                headed = true;
            }
            y += paintRow(cells, y, false);
        }
    }

    QStringList shown() const { return m_shown; }

private:
    void text(const QRectF& box, int flags, const QString& text)
    {
        m_painter.drawText(box, flags, text);
        m_shown << text;
    }

    // The title, the heading and the summary; returns where the table starts.
    double paintHeading()
    {
        double y = m_area.top();
        m_painter.setFont(pageFont(15, true));
        const QFontMetricsF big(m_painter.font(), &m_device);
        text(QRectF(m_area.left(), y, m_area.width(), big.height()), Qt::AlignHCenter | Qt::AlignTop,
             QStringLiteral("体检统计"));
        y += big.height() * 1.5;
        m_painter.setFont(pageFont(9));
        const QFontMetricsF small(m_painter.font(), &m_device);
        for (const QString& line : {m_report.heading(), m_report.table.summary(), publicHealthNote()}) {
            const QRectF room(m_area.left(), y, m_area.width(), small.lineSpacing() * 3);
            const QRectF used = small.boundingRect(room, Qt::TextWordWrap, line);
            text(room, Qt::AlignLeft | Qt::AlignTop | Qt::TextWordWrap, line);
            y += used.height() + small.lineSpacing() * 0.4;
        }
        return y + small.lineSpacing() * 0.4;
    }

    double cellWidth(int column) const { return column == 0 ? m_firstWidth : m_cellWidth; }

    // A row is as high as its highest cell: a cell too narrow for its count
    // and rate breaks between them.
    double rowHeight(const QStringList& cells, bool head) const
    {
        const QFontMetricsF metrics(pageFont(kTablePoints, head), &m_device);
        double lines = metrics.height();
        for (int c = 0; c < cells.size(); ++c) {
            const double room = cellWidth(c) * 0.92;
            lines = std::max(
                lines, metrics.boundingRect(QRectF(0, 0, room, 1e6), Qt::TextWordWrap, cells[c]).height());
        }
        return lines + metrics.height() * 0.5;
    }

    double paintRow(const QStringList& cells, double y, bool head)
    {
        const double height = rowHeight(cells, head);
        m_painter.setFont(pageFont(kTablePoints, head));
        double x = m_area.left();
        for (int c = 0; c < cells.size(); ++c) {
            const double width = cellWidth(c);
            const QRectF cell(x, y, width, height);
            m_painter.drawRect(cell);
            const double pad = width * 0.04;
            const Qt::Alignment align = (c == 0 ? Qt::AlignLeft : Qt::AlignHCenter) | Qt::AlignVCenter;
            text(cell.adjusted(pad, 0, -pad, 0), int(align) | Qt::TextWordWrap, cells[c]);
            x += width;
        }
        return height;
    }

    static constexpr double kTablePoints = 7.5;

    QPainter& m_painter;
    QPagedPaintDevice& m_device;
    QRectF m_area;
    double m_firstWidth = 0;
    double m_cellWidth = 0;
    const StatisticsReport& m_report;
    QStringList m_shown;
};

} // namespace

QStringList paintStatisticsPages(QPagedPaintDevice& device, const QRectF& area,
                                 const StatisticsReport& report, QCustomPlot& plot)
{
    QCPPainter painter;
    if (!painter.begin(&device)) {
        return {};
    }
    painter.setPen(QPen(Qt::black, 0));
    TablePainter table(painter, device, area, report);
    table.paint();
    device.newPage();
    drawChart(painter, plot, area);
    painter.end();
    QStringList shown = table.shown();
    // The chart's own texts: its title, the rows and the sets.
    if (auto* title = qobject_cast<QCPTextElement*>(plot.plotLayout()->element(0, 0))) {
        shown << title->text();
    }
    return shown;
}

bool writeStatisticsPdf(const QString& path, const StatisticsReport& report, QCustomPlot& plot,
                        QString* error)
{
    ExportFile file(path, programFiles());
    if (!file.create()) {
        *error = file.error();
        return false;
    }
    // Drawn into memory first: the text maps are repaired once the document
    // is complete.
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    QStringList shown;
    {
        QPdfWriter writer(&buffer);
        writer.setPageLayout(QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait, QMarginsF()));
        writer.setTitle(QStringLiteral("体检统计"));
        writer.setCreator(
            QString(QCoreApplication::applicationName() + u' ' + QCoreApplication::applicationVersion())
                .trimmed());
        // The same half inch off the paper's edge as on a printer's page.
        const double inset = writer.resolution() / 2.0;
        const QRectF area(inset, inset, writer.width() - 2 * inset, writer.height() - 2 * inset);
        shown = paintStatisticsPages(writer, area, report, plot);
    }
    if (shown.isEmpty()) {
        *error = QStringLiteral("无法生成PDF页面");
        return false;
    }
    const QByteArray pdf = readableSheetPdf(buffer.data(), shown);
    if (file.write(pdf) != pdf.size() || !file.commit()) {
        *error = file.error();
        return false;
    }
    return true;
}

bool writeStatisticsXls(const QString& path, const StatisticsReport& report, QString* error)
{
    QStringList header{QStringLiteral("项目")};
    header += report.table.columnTitles();
    const auto rows = [&](const XlsExport::AddRow& add) {
        std::vector<QByteArray> texts;
        std::vector<QByteArrayView> cells;
        const auto addTexts = [&](const QStringList& line) {
            texts.clear();
            cells.clear();
            for (const QString& cell : line) {
                texts.push_back(cell.toUtf8());
            }
            for (const QByteArray& cell : texts) {
                cells.emplace_back(cell);
            }
            add(cells);
        };
        for (const StatisticsLine& line : report.lines()) {
            QStringList texts{line.title};
            for (const StatisticsCell& cell : line.cells) {
                texts << cell.text;
            }
            addTexts(texts);
        }
        addTexts({QString()});
        addTexts({report.heading()});
        addTexts({report.table.summary()});
        addTexts({publicHealthNote()});
        return true;
    };
    return XlsExport::save(path, header, rows, error);
}

QString proposedStatisticsName(const StatisticsReport& report, const QString& suffix)
{
    return QStringLiteral("体检统计_%1_%2").arg(report.from, report.to) + suffix;
}

} // namespace brenvoll
