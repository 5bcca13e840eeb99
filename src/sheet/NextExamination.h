#pragma once
// 复制上次体检: a resident's yearly re-examination starts from the last one.
namespace brenvoll {

class SheetHost;

// Adds 复制上次体检 to `host`'s commands.
void addNextExamination(SheetHost& host);

// A new sheet for the person on `host`'s sheet, or of the name typed, filled
// from that person's latest examination.
void copyLastExamination(SheetHost& host);

} // namespace brenvoll
