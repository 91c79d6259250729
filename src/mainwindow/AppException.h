#pragma once
// The last net for exceptions that no command handled: the application object catches whatever
// escapes an event handler and hands it here; the main window installs the handler that logs it.

#include <QString>
#include <functional>

// Class name and message of an exception that reached the top.
struct TCaughtException {
  QString ClassName; // our errors give their ClassName(), others the demangled C++ type name
  QString Message;
};

using TAppExceptionHandler = std::function<void(const TCaughtException &)>;

// Installs (or, with an empty handler, removes) the application's handler.
void SetAppExceptionHandler(TAppExceptionHandler AHandler);
bool HasAppExceptionHandler();

// Describes the exception being handled; call only inside a catch block.
TCaughtException DescribeCurrentException();

// Call inside a catch block: passes the current exception to the installed handler, or shows it in
// an error box when no handler is installed. Never throws.
void HandleCurrentException();

// Runs AWork and routes anything it throws to HandleCurrentException, so no exception crosses a
// Qt signal or event frame. Returns false when AWork threw.
bool RunGuarded(const std::function<void()> &AWork);
