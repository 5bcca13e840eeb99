#pragma once
// One row of the comparison drawn over the examination dates: a real date
// axis, the reference range shaded, the levels that matter drawn across
// (the high blood pressure and the overweight and obese BMI of BodyMeasures). Values that are
// no number are left out and named in a note.
#include "record/ExamSeries.h"

#include <QString>

#include <vector>

class QCustomPlot;

namespace brenvoll {

// Where the unsaved column stands on the date axis when its date is no date.
QDate plottedDate(const SeriesColumn& column);

// Replaces what `plot` shows by `row` over `columns`, and replots. Returns the
// note on the values left out ("未绘出的非数值：…"); empty when none was.
QString plotSeriesRow(QCustomPlot& plot, const SeriesRow& row, const std::vector<SeriesColumn>& columns);

} // namespace brenvoll
