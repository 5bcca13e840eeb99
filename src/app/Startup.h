#pragma once
#include <QString>

#include <functional>

namespace brenvoll {

class LoginWindow;

// Runs the program's start-up in `folder` (the program folder): title, the
// database check, the connection, the first window. False when the program
// must end at once (nothing is left open then).
bool startUp(const QString& folder);

// Shows the login window (loading it if needed), wired so that a correct
// password there opens and loads the main window.
LoginWindow* showLoginWindow();

// Ends the program at once: no window's closing work runs, so no backup is
// made.
void endProgram();

// Replaces the step that ends the process (tests stay alive and count the
// ends); an empty function restores leaving the event loop.
void setProgramEnder(std::function<void()> ender);

// Loads Qt's Chinese translations so that its own buttons speak Chinese.
void installTranslations();

} // namespace brenvoll
