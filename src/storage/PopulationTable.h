#pragma once
// The table of the resident population (应管人数, data/population.sql),
// beside the designed tables, which it never alters: whether the database in
// use has it, and adding it to one that lacks it.
#include <QString>

namespace brenvoll {

class PopulationTable
{
public:
    static bool present();
    // Adds the table in one transaction; false with a reason.
    static bool create(QString* error = nullptr);
};

} // namespace brenvoll
