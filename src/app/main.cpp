// Program entry of the desktop program.

#include "AppMain.h"

int main(int argc, char **argv) { return RunTabulyx(argc, argv); }
