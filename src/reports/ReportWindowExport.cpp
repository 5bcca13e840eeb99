// The report window's export to an Excel workbook.
#include "ReportWindow.h"
#include "XlsExport.h"
#include "app/MessageBox.h"
#include "record/DateRules.h"

#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QLineEdit>
#include <QProgressDialog>

namespace brenvoll {

bool ReportWindow::writeWorkbook(const QString& path, const std::vector<ReportRow>& rows, QString* error,
                                 qsizetype* cutCells)
{
    QProgressDialog progress(QStringLiteral("正在导出到Excel，请稍候……"), QString(), 0, 100, this);
    progress.setWindowTitle(QStringLiteral("提示"));
    progress.setWindowModality(Qt::WindowModal);
    progress.setMinimumDuration(500);
    progress.setAutoClose(false);
    QGuiApplication::setOverrideCursor(Qt::WaitCursor);
    const bool ok = XlsExport::save(
        path, XlsExport::reportHeader(), XlsExport::reportCells(rows), error,
        [&progress](int percent) {
            if (percent != progress.value()) {
                progress.setValue(percent);
            }
        },
        cutCells);
    QGuiApplication::restoreOverrideCursor();
    return ok;
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
    std::vector<ReportRow> rows;
    if (!queryRows(rows) || rows.empty()) {
        return;
    }
    const QString shown = QDir::toNativeSeparators(path);
    if (QFileInfo::exists(path) &&
        !MessageBox::askYesNo(this, QStringLiteral("文件“%1”已存在，要替换它吗？").arg(shown))) {
        return;
    }
    QString error;
    qsizetype cutCells = 0;
    if (!writeWorkbook(path, rows, &error, &cutCells)) {
        MessageBox::warning(this, QStringLiteral("无法导出到文件“%1”：%2。").arg(shown, error));
        return;
    }
    QString done = QStringLiteral("文件导出成功！");
    if (cutCells > 0) {
        done += QStringLiteral("\n有 %1 个单元格超过 32767 个字符，已截断。").arg(cutCells);
    }
    MessageBox::notice(this, done);
}

} // namespace brenvoll
