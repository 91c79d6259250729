#include "TabulyxApplication.h"

#include "mainwindow/AppException.h"

TTabulyxApplication::TTabulyxApplication(int &AArgc, char **AArgv) : QApplication(AArgc, AArgv) {
  setApplicationName(QStringLiteral("Tabulyx"));
  setApplicationVersion(QStringLiteral(TABULYX_VERSION));
  setOrganizationName(QStringLiteral("Tabulyx"));
  setDesktopFileName(QStringLiteral("tabulyx"));
}

bool TTabulyxApplication::notify(QObject *AReceiver, QEvent *AEvent) {
  try {
    return QApplication::notify(AReceiver, AEvent);
  } catch (...) {
    // The event counts as handled; the program goes on with the next one.
    HandleCurrentException();
    return true;
  }
}
