#pragma once
#include <QString>

namespace brenvoll {

class LoginWindow;

// Runs the program's start-up in `folder` (the program folder): title, the
// database check, the connection, the first window. False when the program
// must end at once (nothing is left open then).
bool startUp(const QString& folder);

// Shows the login window (loading it if needed), wired so that a correct
// password there opens and loads the main window.
LoginWindow* showLoginWindow();

// Loads Qt's Chinese translations so that its own buttons speak Chinese.
void installTranslations();

} // namespace brenvoll
