#pragma once

namespace brenvoll {

// The backup made when the main window closes: the database (with a server,
// its dump) and the program into today's folder of the backup folder, with a
// progress window while it copies; the operator hears once what could not be
// copied. Without `withDrafts` the drafts file is left out: the run could not
// use it and told the operator so when it started.
void backUpOnClose(bool withDrafts = true);

} // namespace brenvoll
