#pragma once
#include <QString>

namespace brenvoll {

// Runs the program's start-up in `folder` (the program folder): title, the
// database check, the connection, the first window. False when the program
// must end at once (nothing is left open then).
bool startUp(const QString& folder);

// Ends the program at once: no window's closing work runs, so no backup is
// made.
void endProgram();

// Loads Qt's Chinese translations so that its own buttons speak Chinese.
void installTranslations();

} // namespace brenvoll
