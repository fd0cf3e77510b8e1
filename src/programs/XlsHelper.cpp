// tombolix_xls: the program's xls reader runs libfreexl here, in a process of its own, so a
// damaged workbook that crashes or hangs the library cannot take the program with it.
#include "core/import/Sheet.h"

int main(int argc, char** argv) { return sheet::XlsHelperMain(argc, argv); }
