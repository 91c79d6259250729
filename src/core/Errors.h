#pragma once
// The error types every engine raises; callers catch them at the item boundary and log the message.

#include <QString>
#include <exception>
#include <string>

// Base of all errors the program raises on purpose. The message is user-readable (Chinese) and
// ready to be logged; the context fields say where it happened when that is known.
class TTabulyxError : public std::exception {
public:
  explicit TTabulyxError(const QString &AMessage, const QString &AFile = QString(),
                         const QString &APart = QString());
  const char *what() const noexcept override;
  const QString &Message() const { return FMessage; }
  const QString &File() const { return FFile; }
  const QString &Part() const { return FPart; }
  // Readable name of the concrete error type, as the unhandled-exception log line shows it.
  virtual const char *ClassName() const { return "TTabulyxError"; }

private:
  QString FMessage;
  QString FFile;
  QString FPart;
  std::string FWhat;
};

// A programming or call error (empty argument and the like).
class TArgumentError : public TTabulyxError {
public:
  using TTabulyxError::TTabulyxError;
  const char *ClassName() const override { return "TArgumentError"; }
};

// The input is not a well-formed file of its format (corrupt, truncated, hostile).
class TFileFormatError : public TTabulyxError {
public:
  using TTabulyxError::TTabulyxError;
  const char *ClassName() const override { return "TFileFormatError"; }
};

// The workbook is password-protected / encrypted and cannot be read.
class TEncryptedWorkbookError : public TTabulyxError {
public:
  using TTabulyxError::TTabulyxError;
  const char *ClassName() const override { return "TEncryptedWorkbookError"; }
};

// The input is of a kind or version this program does not handle.
class TUnsupportedError : public TTabulyxError {
public:
  using TTabulyxError::TTabulyxError;
  const char *ClassName() const override { return "TUnsupportedError"; }
};

// Reading or writing a file failed at the operating-system level. Carries the system's code
// when there is one (0 otherwise).
class TFileIoError : public TTabulyxError {
public:
  TFileIoError(const QString &AMessage, const QString &AFile = QString(), int ASystemCode = 0);
  int SystemCode() const { return FSystemCode; }
  const char *ClassName() const override { return "TFileIoError"; }

private:
  int FSystemCode = 0;
};

// The text to log for any caught exception: our message for our errors, what() for the others.
QString ErrorMessageOf(const std::exception &AError);
