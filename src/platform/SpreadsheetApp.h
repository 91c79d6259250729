#pragma once
// Whether a desktop spreadsheet program is installed that can open the user's workbooks, so that
// they are handed to it rather than shown in the program's own viewer.

namespace Platform {

// Windows: the registry knows Excel or WPS (their automation classes or install keys). Elsewhere:
// the desktop has a default application for .xlsx files (xdg-mime), or LibreOffice or WPS is on the
// PATH. False when the test itself cannot be made.
bool IsSpreadsheetAppInstalled();

} // namespace Platform
