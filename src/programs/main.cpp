#include "gui/app/Startup.h"

int main(int argc, char** argv) { return RunTombolix(argc, argv); }
