#pragma once
#include <functional>

namespace brenvoll {

// Ends the program at once: no window's closing work runs, so no backup is
// made.
void endProgram();

// Replaces the step that ends the process (tests stay alive and count the
// ends); an empty function restores leaving the event loop.
void setProgramEnder(std::function<void()> ender);

} // namespace brenvoll
