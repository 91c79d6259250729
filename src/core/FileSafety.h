#pragma once
// Writing workbooks without ever leaving a half-written file, and telling whether a workbook can be
// worked on (missing, read-only, held open by another program, usable).

#include <QString>

class TSpreadSheetDocument;

// Writes ASheet to APath through a temporary file beside it ("~tmp~" + file name, same extension so
// the writer picks the same format): a leftover temporary file is removed first, the document is
// written and flushed to the disk, then one move replaces the target. On any failure the target is
// as it was and the temporary file is removed where possible.
// Raises TArgumentError for a null document or an empty path, TFileIoError for system failures
// (carrying the system's code and text), and whatever the document's writer raises.
void SaveSpreadSheetAtomic(const TSpreadSheetDocument *ASheet, const QString &APath);

// The temporary file SaveSpreadSheetAtomic writes for APath.
QString AtomicSaveTempPath(const QString &APath);

// True when the file exists and may not be written (see Platform::IsFileReadOnly). Never raises.
bool IsFileReadOnly(const QString &AFileName);
// True when the file exists and another program holds it (see Platform::IsFileLocked). Never raises.
bool IsFileLocked(const QString &AFileName);
// True when a desktop spreadsheet program that opens .xlsx files is installed.
bool IsSpreadsheetAppInstalled();

// The state of a workbook path, tested in this order.
enum class TFileState { fsMissing, fsReadOnly, fsInUse, fsUsable };

TFileState GetFileState(const QString &AFileName);
// "文件不存在", "文件只读", "文件被占用", or "" for a usable file.
QString FileStateText(TFileState AState);
