#include "AppException.h"

#include "core/Errors.h"
#include "widgets/MessageBoxes.h"

#include <exception>
#include <typeinfo>
#if defined(__GNUC__) || defined(__clang__)
#include <cxxabi.h>
#include <cstdlib>
#endif

namespace {

TAppExceptionHandler &Handler() {
  static TAppExceptionHandler handler;
  return handler;
}

// Readable name of a C++ type ("std::runtime_error" rather than "St13runtime_error").
QString ReadableTypeName(const std::type_info *AType) {
  if (!AType)
    return QStringLiteral("未知异常");
#if defined(__GNUC__) || defined(__clang__)
  int status = 0;
  char *demangled = abi::__cxa_demangle(AType->name(), nullptr, nullptr, &status);
  if (status == 0 && demangled) {
    const QString name = QString::fromUtf8(demangled);
    std::free(demangled);
    return name;
  }
  std::free(demangled);
#endif
  return QString::fromUtf8(AType->name());
}

// Type of the exception in flight, whatever was thrown (also non-std types).
const std::type_info *CurrentExceptionType() {
#if defined(__GNUC__) || defined(__clang__)
  return abi::__cxa_current_exception_type();
#else
  return nullptr;
#endif
}

} // namespace

void SetAppExceptionHandler(TAppExceptionHandler AHandler) { Handler() = std::move(AHandler); }

bool HasAppExceptionHandler() { return bool(Handler()); }

TCaughtException DescribeCurrentException() {
  TCaughtException caught;
  try {
    throw;
  } catch (const TTabulyxError &e) {
    caught.ClassName = QString::fromLatin1(e.ClassName());
    caught.Message = e.Message();
  } catch (const std::exception &e) {
    caught.ClassName = ReadableTypeName(&typeid(e));
    caught.Message = QString::fromUtf8(e.what());
  } catch (...) {
    caught.ClassName = ReadableTypeName(CurrentExceptionType());
  }
  return caught;
}

void HandleCurrentException() {
  try {
    const TCaughtException caught = DescribeCurrentException();
    if (Handler())
      Handler()(caught);
    else
      TMessageBoxes::Error(nullptr, caught.Message.isEmpty() ? caught.ClassName : caught.Message);
  } catch (...) {
    // The handler itself failed (a full disk under the log file, say); there is nowhere left to
    // report to, and throwing on would end the program.
  }
}

bool RunGuarded(const std::function<void()> &AWork) {
  try {
    AWork();
    return true;
  } catch (...) {
    HandleCurrentException();
    return false;
  }
}
