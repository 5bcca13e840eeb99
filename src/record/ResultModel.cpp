#include "ResultModel.h"

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
    if (role == Qt::DisplayRole) {
        return m_lines.text(size_t(index.row()));
    }
    if (role == KeyRole) {
        return m_lines.key(size_t(index.row()));
    }
    return {};
}

void ResultModel::setLines(ResultLines&& lines)
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
    return k >= 0 && k < int(m_lines.size()) ? m_lines.text(size_t(k)) : QString();
}

QString ResultModel::keyAt(int k) const
{
    return k >= 0 && k < int(m_lines.size()) ? m_lines.key(size_t(k)) : QString();
}

int ResultModel::lineOf(const QString& key) const
{
    return key.isEmpty() ? -1 : int(m_lines.find(key.toUtf8()));
}

} // namespace brenvoll
