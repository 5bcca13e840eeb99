#pragma once
// The sheets of a batch, line by line of the result list, as the batch prints
// them: the line the sheet shows, as the sheet stands, unsaved typing and
// all; every other line's record put into the sheet's layout, fonts and texts
// as loading the record into the sheet shows it.
#include "PrintHost.h"
#include "SheetDrawing.h"
#include "record/RecordStore.h"

#include <QString>

namespace brenvoll {

class BatchSheets
{
public:
    explicit BatchSheets(const PrintHost& host);

    // The sheet of line `line`; false when its record cannot be read, or
    // there is no sheet to lay it into.
    bool sheetOf(int line, SheetSnapshot& sheet);

private:
    const PrintHost& m_host;
    bool m_haveSheet = false;
    SheetSnapshot m_shown;
    QString m_shownKey;
    int m_selected = -1;
    RecordReader m_records;
};

// The box texts that a batch from line `start` to the last fits into their
// room, over all its pages, counted up to the first record that cannot be
// read, where the batch stops.
SheetFit batchFit(const PrintHost& host, int start);

} // namespace brenvoll
