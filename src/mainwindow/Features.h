#pragma once
// The parts of the program that the main window hosts, wired in one place: a
// new part is a new folder and one line of addFeatures().
namespace brenvoll {

class SheetDrafts;
class SheetHost;

// Each part adds its commands to `host`'s table and lives as long as the
// window; `drafts` keeps the sheet's typing.
void addFeatures(SheetHost& host, SheetDrafts& drafts);

} // namespace brenvoll
