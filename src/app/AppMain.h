#pragma once
// The start of the desktop program: application object, Chinese texts, the main window, and the
// workbooks and folders named on the command line.

// Runs the program until its main window closes; returns the exit code.
int RunTabulyx(int AArgc, char **AArgv);
