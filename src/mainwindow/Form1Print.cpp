// Printing of the sheet from the main window.
#include "Form1.h"

namespace brenvoll {

void Form1::p_Click() {}

} // namespace brenvoll
