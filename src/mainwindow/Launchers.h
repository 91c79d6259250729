#pragma once
// Hands things to the desktop: web addresses, files and folders to their default programs, and the
// desktop's own calculator and text editor, found among the programs that are installed.

#include <QString>
#include <QStringList>

namespace Launchers {

// Candidate programs, most common desktop first.
QStringList CalculatorCandidates();
QStringList TextEditorCandidates();

// Full path of the first candidate found in ASearchPaths (the PATH when empty); empty when none is.
QString FindFirstProgram(const QStringList &ACandidates, const QStringList &ASearchPaths = {});

// Starts AProgram detached, without arguments. False when it could not be started.
bool StartProgram(const QString &AProgram);

// Opens an address in the default browser, or a local file or folder in its default program
// (a folder in the file manager). False when the desktop has no handler for it.
bool OpenUrl(const QString &AUrl);
bool OpenLocalPath(const QString &APath);

} // namespace Launchers
