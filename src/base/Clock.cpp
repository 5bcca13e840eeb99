#include "Clock.h"

namespace brenvoll::Clock {

namespace {
QDateTime g_fixed;
}

QDateTime now()
{
    return g_fixed.isValid() ? g_fixed : QDateTime::currentDateTime();
}

QDate today()
{
    return now().date();
}

void setFixed(const QDateTime& fixed)
{
    g_fixed = fixed;
}

void reset()
{
    g_fixed = QDateTime();
}

} // namespace brenvoll::Clock
