#pragma once
// Creating a folder path level by level, as the backup does for its day folder.
#include <QString>

namespace brenvoll {

// Normalises `path` (separators "\" and "/" become the platform's, a trailing
// one is added, doubled ones are folded except a leading pair that names a
// network share), writes it back, and creates every level from the top down.
// Failures are not reported: callers check the folder afterwards.
void createFolderPath(QString& path);

} // namespace brenvoll
