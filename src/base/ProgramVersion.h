#pragma once
// The program's version, as the build names it.
#include <QString>
#include <QVersionNumber>

namespace brenvoll {

// "2.0": the text shown by --version and the about window.
QString programVersionText();
QVersionNumber programVersion();

} // namespace brenvoll
