// The report window's export to an Excel workbook.
#include "ReportWindow.h"
#include "base/ExportFile.h"
#include "base/TextRules.h"
#include "formats/XlsExport.h"
#include "storage/ProgramFiles.h"
#include "ui/MessageBox.h"

#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QLineEdit>
#include <QProgressDialog>

namespace brenvoll {

ReportWindow::Written ReportWindow::writeWorkbook(const QString& path, const ReportFilter& filter,
                                                  qint64 expected)
{
    QProgressDialog progress(QStringLiteral("正在导出到Excel，请稍候……"), QString(), 0, 100, this);
    progress.setWindowTitle(QStringLiteral("提示"));
    progress.setWindowModality(Qt::WindowModal);
    progress.setMinimumDuration(500);
    progress.setAutoClose(false);
    Written written;
    // Reading and encoding the records is nearly all of the work; writing
    // the file takes the last moment.
    const auto rows = [&](const XlsExport::AddRow& add) {
        const auto visit = [&](const ReportColumns& row) {
            add(row.cells);
            if ((++written.rows & 0xFFF) == 0) {
                const int percent =
                    int(std::min<qint64>(99, 100 * written.rows / std::max<qint64>(expected, 1)));
                if (percent != progress.value()) {
                    progress.setValue(percent);
                }
            }
            return true;
        };
        written.queried = ReportQuery::run(filter, visit, &written.error);
        return written.queried == ReportQuery::Error::None;
    };
    QGuiApplication::setOverrideCursor(Qt::WaitCursor);
    written.saved = XlsExport::save(path, ReportColumns::titles(), rows, &written.error, &written.cutCells);
    QGuiApplication::restoreOverrideCursor();
    return written;
}

void ReportWindow::exportToExcel()
{
    const QString chosen = trimBlanks(
        FileDialogs::saveFileName(this, QStringLiteral("另存为"), QStringLiteral("Excel文件 (*.xls)")));
    if (chosen.isEmpty()) {
        return; // cancelled: nothing to do
    }
    m_lastExportPath->setText(chosen);
    const QString extension = QStringLiteral(".xls");
    const QString path = chosen.endsWith(extension, Qt::CaseInsensitive) ? chosen : chosen + extension;

    // The export reads the boxes afresh; the list may show an older query.
    // The records go straight from the engine into the workbook, so whether
    // there are any is asked first.
    const ReportFilter current = filter();
    ReportQuery::Extent extent;
    QString error;
    if (!queried(ReportQuery::extent(current, extent, &error), error)) {
        return;
    }
    if (!extent.any) {
        setCount(0);
        return;
    }
    const QString shown = QDir::toNativeSeparators(path);
    const QString refusal = refusalOf(path, programFiles());
    if (!refusal.isEmpty()) {
        MessageBox::warning(this, QStringLiteral("无法导出到文件“%1”：%2。").arg(shown, refusal));
        return;
    }
    if (QFileInfo::exists(path) &&
        !MessageBox::askYesNo(this, QStringLiteral("文件“%1”已存在，要替换它吗？").arg(shown))) {
        return;
    }
    const Written written = writeWorkbook(path, current, extent.most);
    if (!queried(written.queried, written.error)) {
        return;
    }
    setCount(written.rows);
    if (!written.saved) {
        MessageBox::warning(this, QStringLiteral("无法导出到文件“%1”：%2。").arg(shown, written.error));
        return;
    }
    QString done = QStringLiteral("文件导出成功！");
    if (written.cutCells > 0) {
        done += QStringLiteral("\n有 %1 个单元格超过 32767 个字符，已截断。").arg(written.cutCells);
    }
    MessageBox::notice(this, done);
}

} // namespace brenvoll
