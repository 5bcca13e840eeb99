#include "ProgramEnd.h"

#include <QCoreApplication>

namespace brenvoll {

namespace {
std::function<void()> g_ender;
} // namespace

void endProgram()
{
    if (g_ender) {
        g_ender();
        return;
    }
    // Leaves every event loop, so main() returns: windows still loaded go
    // with the process, none runs its own closing work.
    QCoreApplication::exit(0);
}

void setProgramEnder(std::function<void()> ender)
{
    g_ender = std::move(ender);
}

} // namespace brenvoll
