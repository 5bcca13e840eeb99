#pragma once
// The texts of one examination's boxes as the engine holds them (UTF-8), for
// counting a million records without making a QString of each.
#include "FieldMap.h"

#include <QByteArrayView>

#include <array>

namespace brenvoll {

// Valid while the row the texts come from is.
struct ExamCells
{
    std::array<QByteArrayView, FieldMap::kIdentifyingCount + FieldMap::kFindingCount> cells;
    QByteArrayView operator[](Field field) const { return cells[size_t(field)]; }
};

} // namespace brenvoll
