#include "SpreadsheetApp.h"

#include <QString>
#include <QStringList>

#ifdef Q_OS_WIN
#include <windows.h>
#else
#include <QProcess>
#include <QStandardPaths>
#endif

namespace Platform {

#ifdef Q_OS_WIN

namespace {

bool KeyExists(HKEY ARoot, const QString &APath) {
  HKEY key = nullptr;
  if (RegOpenKeyExW(ARoot, reinterpret_cast<LPCWSTR>(APath.utf16()), 0, KEY_READ, &key) != ERROR_SUCCESS)
    return false;
  RegCloseKey(key);
  return true;
}

// One key per installed Office version lies under the Office key; any of them with an Excel
// install root counts.
bool AnyOfficeVersionHasExcel(const QString &AOfficeKey) {
  HKEY office = nullptr;
  if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, reinterpret_cast<LPCWSTR>(AOfficeKey.utf16()), 0, KEY_READ, &office) !=
      ERROR_SUCCESS)
    return false;
  bool found = false;
  wchar_t name[256];
  for (DWORD i = 0; !found; ++i) {
    DWORD len = 256;
    if (RegEnumKeyExW(office, i, name, &len, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
      break;
    const QString version = QString::fromWCharArray(name, int(len));
    found = KeyExists(HKEY_LOCAL_MACHINE, AOfficeKey + u'\\' + version + QStringLiteral("\\Excel\\InstallRoot"));
  }
  RegCloseKey(office);
  return found;
}

} // namespace

bool IsSpreadsheetAppInstalled() {
  return KeyExists(HKEY_CLASSES_ROOT, QStringLiteral("Excel.Application")) ||
         KeyExists(HKEY_CLASSES_ROOT, QStringLiteral("et.Application")) ||
         AnyOfficeVersionHasExcel(QStringLiteral("SOFTWARE\\Microsoft\\Office")) ||
         AnyOfficeVersionHasExcel(QStringLiteral("SOFTWARE\\WOW6432Node\\Microsoft\\Office")) ||
         KeyExists(HKEY_LOCAL_MACHINE, QStringLiteral("SOFTWARE\\Kingsoft\\Office")) ||
         KeyExists(HKEY_LOCAL_MACHINE, QStringLiteral("SOFTWARE\\WOW6432Node\\Kingsoft\\Office"));
}

#else

namespace {

bool HasDefaultXlsxApplication() {
  const QString xdgMime = QStandardPaths::findExecutable(QStringLiteral("xdg-mime"));
  if (xdgMime.isEmpty())
    return false;
  QProcess process;
  process.start(xdgMime, {QStringLiteral("query"), QStringLiteral("default"),
                          QStringLiteral("application/vnd.openxmlformats-officedocument.spreadsheetml.sheet")});
  if (!process.waitForFinished(3000)) {
    process.kill();
    process.waitForFinished(1000);
    return false;
  }
  return process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0 &&
         !process.readAllStandardOutput().trimmed().isEmpty();
}

} // namespace

bool IsSpreadsheetAppInstalled() {
  // LibreOffice (and its Calc launcher) and WPS (its spreadsheet is "et").
  for (const char *program : {"libreoffice", "soffice", "localc", "wps", "et"})
    if (!QStandardPaths::findExecutable(QString::fromLatin1(program)).isEmpty())
      return true;
  return HasDefaultXlsxApplication();
}

#endif

} // namespace Platform
