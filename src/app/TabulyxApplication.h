#pragma once
// The application object of the desktop program: whatever an event handler throws and nobody
// caught is handed to the installed exception handler instead of ending the program.

#include <QApplication>

class TTabulyxApplication : public QApplication {
  Q_OBJECT
public:
  TTabulyxApplication(int &AArgc, char **AArgv);

  bool notify(QObject *AReceiver, QEvent *AEvent) override;
};
