#pragma once
// The report window's list. A report can cover every record of the database:
// the list keeps only the texts its lines show, packed as the engine gives
// them, and makes a line when it is drawn.
#include "ReportQuery.h"
#include "base/PackedTexts.h"

#include <QAbstractListModel>
#include <QString>

namespace brenvoll {

class ReportModel : public QAbstractListModel
{
    Q_OBJECT
public:
    using QAbstractListModel::QAbstractListModel;

    int rowCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;

    // Replaces the list by the records of the query; on failure the list
    // stays empty.
    ReportQuery::Error load(const ReportFilter& filter, QString* error = nullptr);
    void clear();
    int count() const { return int(m_rows.size()); }
    QString lineAt(int k) const;

private:
    void setRows(PackedTexts&& rows);

    PackedTexts m_rows; // number, name, sex, age and conclusion of each record
};

} // namespace brenvoll
