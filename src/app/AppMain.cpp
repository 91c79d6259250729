#include "AppMain.h"

#include "DataMain.h"
#include "TabulyxApplication.h"
#include "mainwindow/MainFrm.h"

#include <QCommandLineParser>
#include <QPixmap>
#include <QScreen>
#include <QTimer>

int RunTabulyx(int AArgc, char **AArgv) {
  TTabulyxApplication app(AArgc, AArgv);
  const TDataMain dataMain;

  QCommandLineParser parser;
  parser.setApplicationDescription(QStringLiteral("Tabulyx：Excel 工作簿批量处理工具"));
  parser.addHelpOption();
  parser.addVersionOption();
  parser.addPositionalArgument(QStringLiteral("FILE|FOLDER"),
                               QStringLiteral("加入文件列表的工作簿（.xlsx、.xls）或文件夹（加入其中的工作簿）"),
                               QStringLiteral("[FILE|FOLDER...]"));
  // Saves a picture of the started window and quits; for checking a build on a virtual display.
  QCommandLineOption screenshot(QStringLiteral("screenshot"), QStringLiteral("保存主窗口截图后退出"),
                                QStringLiteral("PNG"));
  screenshot.setFlags(QCommandLineOption::HiddenFromHelp);
  parser.addOption(screenshot);
  // Quits as soon as the window is up; for timing the start.
  QCommandLineOption quitAfterStart(QStringLiteral("quit-after-start"), QStringLiteral("启动完成后立即退出"));
  quitAfterStart.setFlags(QCommandLineOption::HiddenFromHelp);
  parser.addOption(quitAfterStart);
  parser.process(app);

  TMainForm form;
  // Without a window manager (a bare virtual display) "maximised" means nothing; fit the screen.
  if (const QScreen *screen = form.screen())
    form.resize(form.size().boundedTo(screen->availableGeometry().size()));
  form.showMaximized();
  form.AddCommandLinePaths(parser.positionalArguments());

  if (parser.isSet(screenshot)) {
    const QString file = parser.value(screenshot);
    QTimer::singleShot(1500, &form, [&form, file] {
      form.grab().save(file);
      form.close();
    });
  }
  if (parser.isSet(quitAfterStart))
    QTimer::singleShot(0, &form, &QWidget::close);
  return TTabulyxApplication::exec();
}
