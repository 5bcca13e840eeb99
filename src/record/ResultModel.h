#pragma once
// The result list of a search: line k shows 姓名[日期] and carries the key of
// its record, so the visible line and its key always belong together.
#include "RecordStore.h"

#include <QAbstractListModel>

namespace brenvoll {

class ResultModel : public QAbstractListModel
{
    Q_OBJECT
public:
    enum Roles
    {
        KeyRole = Qt::UserRole + 1,
    };
    using QAbstractListModel::QAbstractListModel;

    int rowCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;

    void setLines(ResultLines&& lines);
    void clear();
    int count() const { return int(m_lines.size()); }
    QString textAt(int k) const;
    QString keyAt(int k) const;           // empty when k addresses no line
    int lineOf(const QString& key) const; // -1 when no line carries `key`

private:
    ResultLines m_lines;
};

} // namespace brenvoll
