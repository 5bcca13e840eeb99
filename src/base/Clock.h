#pragma once
// The program's clock. Tests set it; the program reads the system time.
#include <QDateTime>

namespace brenvoll::Clock {

QDateTime now();
QDate today();
// Makes now() return `fixed` until reset() (tests only).
void setFixed(const QDateTime& fixed);
void reset();

} // namespace brenvoll::Clock
