#pragma once

namespace brenvoll {

// The backup made when the main window closes: the database (with a server,
// its dump) and the program into today's folder of the backup folder, with a
// progress window while it copies; the operator hears once what could not be
// copied.
void backUpOnClose();

} // namespace brenvoll
