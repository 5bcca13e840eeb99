#pragma once
// The resident population (应管人数) a clinic types in for a year, kept in a
// table of its own beside the designed ones: read for the year counted, the
// latest earlier year's offered as a start, and saved for a year whole.
#include "StatisticsCells.h"

#include <optional>

namespace brenvoll {

class PopulationStore
{
public:
    // The figures of `year`; empty when none were typed (or the database
    // has no such table yet). False with a reason when it cannot be read.
    static bool read(int year, PopulationFigures& figures, QString* error = nullptr);
    // The latest year before `year` with figures, if any.
    static std::optional<int> latestBefore(int year, QString* error = nullptr);
    // Replaces the figures of `year` with `figures`, in one transaction.
    static bool save(int year, const PopulationFigures& figures, QString* error = nullptr);
};

} // namespace brenvoll
