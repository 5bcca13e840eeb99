#include "ProgramVersion.h"

#include "brenvoll-version.h"

namespace brenvoll {

QString programVersionText()
{
    return QString::fromLatin1(kBrenvollVersion);
}

QVersionNumber programVersion()
{
    return QVersionNumber::fromString(programVersionText());
}

} // namespace brenvoll
