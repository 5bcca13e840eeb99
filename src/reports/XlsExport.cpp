#include "XlsExport.h"

#include "Biff8Workbook.h"
#include "CompoundFile.h"

#include <QSaveFile>

namespace brenvoll {

namespace {
QString reasonOf(const QSaveFile& file)
{
    QString reason;
    switch (file.error()) {
    case QFileDevice::NoError: // a short write: the disk took only part of it
    case QFileDevice::WriteError:
    case QFileDevice::ResourceError:
        reason = QStringLiteral("写入文件时出错（磁盘可能已满）");
        break;
    case QFileDevice::RenameError:
        reason = QStringLiteral("无法用新文件替换同名文件（文件可能正被其他程序打开）");
        break;
    default:
        reason = QStringLiteral("文件无法保存");
        break;
    }
    const QString detail = file.error() == QFileDevice::NoError ? QString() : file.errorString().trimmed();
    return detail.isEmpty() ? reason : reason + QStringLiteral("：") + detail;
}
} // namespace

bool XlsExport::save(const QString& path, const QStringList& header, const std::vector<QStringList>& rows,
                     QString* error, const Progress& progress, qsizetype* cutCells)
{
    // Building the workbook and writing it take about the same time.
    auto report = [&progress](int from, qint64 done, qint64 total) {
        if (progress && total > 0) {
            progress(from + int(50 * done / total));
        }
    };
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        // Whatever the kind of error, nothing could be created there: a
        // missing folder, no permission, a read-only disk, or a file of that
        // name that may not be replaced.
        if (error) {
            *error = QStringLiteral("无法在该位置创建文件（文件夹不存在、没有写入权限或磁盘是只读的）");
            const QString detail = file.errorString().trimmed();
            if (!detail.isEmpty()) {
                *error += QStringLiteral("：") + detail;
            }
        }
        return false;
    }
    const QByteArray stream = biff8::workbookStream(
        header, rows, [&](qint64 done, qint64 total) { report(0, done, total); }, cutCells);
    const bool written = cfb::write(file, QStringLiteral("Workbook"), stream,
                                    [&](qint64 done, qint64 total) { report(50, done, total); });
    // The last buffered bytes are written here and not in commit(), which
    // forgets why a write failed.
    if (!written || !file.flush() || !file.commit()) {
        if (error) {
            *error = reasonOf(file);
        }
        file.cancelWriting();
        return false;
    }
    return true;
}

QStringList XlsExport::reportHeader()
{
    return {QStringLiteral("编号"), QStringLiteral("姓名"),     QStringLiteral("性别"),
            QStringLiteral("年龄"), QStringLiteral("电话号码"), QStringLiteral("体检结论")};
}

std::vector<QStringList> XlsExport::reportCells(const std::vector<ReportRow>& rows)
{
    std::vector<QStringList> cells;
    cells.reserve(rows.size());
    for (const ReportRow& r : rows) {
        cells.push_back({r.number, r.name, r.sex, r.age, r.phone, r.conclusion});
    }
    return cells;
}

} // namespace brenvoll
