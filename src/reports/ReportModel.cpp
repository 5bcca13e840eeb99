#include "ReportModel.h"

namespace brenvoll {

int ReportModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : count();
}

QVariant ReportModel::data(const QModelIndex& index, int role) const
{
    if (role != Qt::DisplayRole || !index.isValid() || index.row() >= count()) {
        return {};
    }
    return lineAt(index.row());
}

ReportQuery::Error ReportModel::load(const ReportFilter& filter, QString* error)
{
    clear();
    PackedTexts rows;
    const ReportQuery::Error result = ReportQuery::run(
        filter,
        [&rows](const ReportColumns& row) {
            using C = ReportColumns;
            rows.append({row.cells[C::Number], row.cells[C::Name], row.cells[C::Sex], row.cells[C::Age],
                         row.cells[C::Conclusion]});
            return true;
        },
        error);
    if (result == ReportQuery::Error::None) {
        setRows(std::move(rows));
    }
    return result;
}

void ReportModel::setRows(PackedTexts&& rows)
{
    beginResetModel();
    m_rows = std::move(rows);
    endResetModel();
}

void ReportModel::clear()
{
    setRows({});
}

QString ReportModel::lineAt(int k) const
{
    if (k < 0 || k >= count()) {
        return {};
    }
    return reportLine({m_rows.string(k, 0),
                       m_rows.string(k, 1),
                       m_rows.string(k, 2),
                       m_rows.string(k, 3),
                       {},
                       m_rows.string(k, 4)});
}

} // namespace brenvoll
