#include "XlsxWorkbook.h"

#include "base/ExportFile.h"
#include "storage/ProgramFiles.h"

#include <QFile>
#include <QTemporaryDir>

#include <map>
#include <utility>
#include <xlsxwriter.h>

namespace brenvoll {

namespace {

// The formats a workbook needs, made once each: bold or not, by decimals.
class Formats
{
public:
    explicit Formats(lxw_workbook* workbook) : m_workbook(workbook) {}

    lxw_format* of(const XlsxCell& cell)
    {
        const std::pair<bool, int> key{cell.bold, cell.kind == XlsxCell::Kind::Number ? cell.decimals : -1};
        auto found = m_formats.find(key);
        if (found != m_formats.end()) {
            return found->second;
        }
        lxw_format* format = workbook_add_format(m_workbook);
        if (cell.bold) {
            format_set_bold(format);
        }
        if (key.second >= 0) {
            format_set_num_format(
                format, key.second == 0 ? "0" : ("0." + std::string(size_t(key.second), '0')).c_str());
        }
        if (cell.span > 1) {
            format_set_align(format, LXW_ALIGN_CENTER);
        }
        m_formats.emplace(key, format);
        return format;
    }

private:
    lxw_workbook* m_workbook;
    std::map<std::pair<bool, int>, lxw_format*> m_formats;
};

bool writeSheet(lxw_workbook* workbook, Formats& formats, const XlsxSheet& sheet)
{
    const QByteArray name = sheet.name.toUtf8();
    lxw_worksheet* worksheet = workbook_add_worksheet(workbook, name.constData());
    if (!worksheet) {
        return false;
    }
    for (size_t c = 0; c < sheet.columnWidths.size(); ++c) {
        worksheet_set_column(worksheet, lxw_col_t(c), lxw_col_t(c), sheet.columnWidths[c], nullptr);
    }
    for (size_t r = 0; r < sheet.rows.size(); ++r) {
        lxw_col_t column = 0;
        for (const XlsxCell& cell : sheet.rows[r]) {
            lxw_format* format = formats.of(cell);
            const QByteArray text = cell.text.toUtf8();
            lxw_error written = LXW_NO_ERROR;
            if (cell.span > 1) {
                written = worksheet_merge_range(worksheet, lxw_row_t(r), column, lxw_row_t(r),
                                                lxw_col_t(column + cell.span - 1), text.constData(), format);
            } else if (cell.kind == XlsxCell::Kind::Text) {
                written = worksheet_write_string(worksheet, lxw_row_t(r), column, text.constData(), format);
            } else if (cell.kind == XlsxCell::Kind::Number) {
                written = worksheet_write_number(worksheet, lxw_row_t(r), column, cell.number, format);
            }
            if (written != LXW_NO_ERROR) {
                return false;
            }
            column = lxw_col_t(column + cell.span);
        }
    }
    return true;
}

} // namespace

XlsxCell XlsxCell::of(const QString& text, bool bold, int span)
{
    XlsxCell cell;
    cell.kind = Kind::Text;
    cell.text = text;
    cell.bold = bold;
    cell.span = span;
    return cell;
}

XlsxCell XlsxCell::of(double number, int decimals)
{
    XlsxCell cell;
    cell.kind = Kind::Number;
    cell.number = number;
    cell.decimals = decimals;
    return cell;
}

bool writeXlsx(const QString& path, const std::vector<XlsxSheet>& sheets, QString* error)
{
    const auto fail = [error](const QString& reason) {
        if (error) {
            *error = reason;
        }
        return false;
    };
    QTemporaryDir folder;
    if (!folder.isValid()) {
        return fail(QStringLiteral("无法建立临时文件夹"));
    }
    const QByteArray made = folder.filePath(QStringLiteral("workbook.xlsx")).toLocal8Bit();
    lxw_workbook* workbook = workbook_new(made.constData());
    if (!workbook) {
        return fail(QStringLiteral("无法建立工作簿"));
    }
    Formats formats(workbook);
    bool ok = true;
    for (const XlsxSheet& sheet : sheets) {
        ok = ok && writeSheet(workbook, formats, sheet);
    }
    const lxw_error closed = workbook_close(workbook);
    if (!ok || closed != LXW_NO_ERROR) {
        return fail(closed != LXW_NO_ERROR
                        ? QStringLiteral("无法写出工作簿：") + QString::fromUtf8(lxw_strerror(closed))
                        : QStringLiteral("无法写出工作簿"));
    }
    QFile madeFile(QString::fromLocal8Bit(made));
    if (!madeFile.open(QIODevice::ReadOnly)) {
        return fail(madeFile.errorString());
    }
    const QByteArray bytes = madeFile.readAll();
    ExportFile file(path, programFiles());
    if (!file.create()) {
        return fail(file.error());
    }
    if (file.write(bytes) != bytes.size() || !file.commit()) {
        return fail(file.error());
    }
    return true;
}

} // namespace brenvoll
