#include "ResultList.h"

#include <algorithm>

namespace brenvoll {

int ResultModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : int(m_lines.size());
}

QVariant ResultModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.row() >= int(m_lines.size())) {
        return {};
    }
    const ResultLine& line = m_lines[size_t(index.row())];
    if (role == Qt::DisplayRole) {
        return line.text;
    }
    if (role == KeyRole) {
        return line.key;
    }
    return {};
}

void ResultModel::setLines(std::vector<ResultLine>&& lines)
{
    beginResetModel();
    m_lines = std::move(lines);
    endResetModel();
}

void ResultModel::clear()
{
    setLines({});
}

QString ResultModel::textAt(int k) const
{
    return k >= 0 && k < int(m_lines.size()) ? m_lines[size_t(k)].text : QString();
}

QString ResultModel::keyAt(int k) const
{
    return k >= 0 && k < int(m_lines.size()) ? m_lines[size_t(k)].key : QString();
}

int ResultModel::lineOf(const QString& key) const
{
    const auto at = std::find_if(m_lines.begin(), m_lines.end(),
                                 [&key](const ResultLine& line) { return line.key == key; });
    return key.isEmpty() || at == m_lines.end() ? -1 : int(at - m_lines.begin());
}

} // namespace brenvoll
