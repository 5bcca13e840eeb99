#pragma once
// The report lines of the report window's list, held as plain texts so that
// a list of a hundred thousand lines fills and scrolls at once.
#include <QAbstractListModel>
#include <QString>

#include <vector>

namespace brenvoll {

class ReportModel : public QAbstractListModel
{
    Q_OBJECT
public:
    using QAbstractListModel::QAbstractListModel;

    int rowCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;

    void setLines(std::vector<QString>&& lines);
    void clear();
    int count() const { return int(m_lines.size()); }
    QString lineAt(int k) const;

private:
    std::vector<QString> m_lines;
};

} // namespace brenvoll
