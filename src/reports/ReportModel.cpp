#include "ReportModel.h"

namespace brenvoll {

int ReportModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : int(m_lines.size());
}

QVariant ReportModel::data(const QModelIndex& index, int role) const
{
    if (role != Qt::DisplayRole || !index.isValid() || index.row() >= int(m_lines.size())) {
        return {};
    }
    return m_lines[size_t(index.row())];
}

void ReportModel::setLines(std::vector<QString>&& lines)
{
    beginResetModel();
    m_lines = std::move(lines);
    endResetModel();
}

void ReportModel::clear()
{
    setLines({});
}

QString ReportModel::lineAt(int k) const
{
    return k >= 0 && k < int(m_lines.size()) ? m_lines[size_t(k)] : QString();
}

} // namespace brenvoll
