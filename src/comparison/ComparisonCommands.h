#pragma once
// 历年对比… on the window of the sheet: a resident's examinations side by
// side, the sheet's unsaved typing as a last column, and one of them opened
// on the sheet.
#include "ComparisonWindow.h"

#include <QObject>
#include <QPointer>

namespace brenvoll {

class SheetHost;
struct PersonRecords;

class ComparisonCommands : public QObject
{
    Q_OBJECT
public:
    // Adds the command to `host`'s table; lives as long as its window.
    explicit ComparisonCommands(SheetHost& host);

    // 历年对比…: the examinations of the person on the sheet, or of the name
    // typed (found as 复制上次体检 finds them). The window is null until the
    // person is known (a choice between namesakes is open) and when no one
    // was found (the operator was told).
    ComparisonWindow* showComparison();
    ComparisonWindow* comparisonWindow() const { return m_comparison; }
    // Puts the stored record `key` on the sheet, keeping its typing as a
    // draft, as choosing it in the result list does.
    void openExamination(const QString& key);

private:
    void compareExaminations(const PersonRecords& person);

    SheetHost& m_host;
    QPointer<ComparisonWindow> m_comparison;
};

} // namespace brenvoll
