// Times the main window with a large file list: start with an empty list, add 10,000 workbooks (by
// folder and by path list), filter, sort by every column both ways, select and map rows to paths,
// export and reopen the list. Prints milliseconds per task and the peak memory of the process.
//
//   bench_filelist [COUNT]        (default 10000; runs offscreen when no display is set)

#include "mainwindow/FileListModel.h"
#include "mainwindow/MainFrm.h"
#include "widgets/MessageBoxes.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QHeaderView>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeView>
#include <cstdio>
#include <functional>
#include <memory>
#include <sys/resource.h>

namespace {

long PeakRssKb() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return usage.ru_maxrss;
}

// Runs ATask once, lets the window repaint, and prints the time.
void Time(const char *AName, int ACount, const std::function<void()> &ATask) {
  QElapsedTimer timer;
  timer.start();
  ATask();
  QCoreApplication::processEvents();
  std::printf("%-44s %8d %10.1f ms %10ld KB\n", AName, ACount, timer.nsecsElapsed() / 1e6, PeakRssKb());
  std::fflush(stdout);
}

// Deterministic workload: ACount small workbooks of varied size and age, with mixed-case names,
// plus some files the folder scan must skip.
QStringList MakeWorkload(const QString &ADir, int ACount) {
  QStringList paths;
  const QDateTime base(QDate(2024, 1, 1), QTime(9, 0, 0));
  for (int i = 0; i < ACount; ++i) {
    const QString name = QStringLiteral("%1报表_%2.%3")
                             .arg(i % 3 == 0 ? QStringLiteral("Sales") : QStringLiteral("sales"))
                             .arg((i * 7919) % ACount, 5, 10, QLatin1Char('0'))
                             .arg(i % 5 == 0 ? QStringLiteral("XLS") : QStringLiteral("xlsx"));
    const QString path = QDir(ADir).filePath(name);
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly))
      qFatal("cannot write %s", qPrintable(path));
    file.write(QByteArray((i * 37) % 3000 + 1, 'x'));
    file.flush();
    file.setFileTime(base.addSecs(qint64((i * 104729) % 86400) * 60), QFileDevice::FileModificationTime);
    paths << path;
  }
  for (int i = 0; i < ACount / 10; ++i) {
    QFile other(QDir(ADir).filePath(QStringLiteral("note%1.csv").arg(i)));
    if (other.open(QIODevice::WriteOnly))
      other.write("a,b\n");
  }
  return paths;
}

} // namespace

int main(int argc, char **argv) {
  if (qEnvironmentVariableIsEmpty("DISPLAY") && qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY"))
    qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  const int count = argc > 1 ? std::max(1, QString::fromLocal8Bit(argv[1]).toInt()) : 10000;
  TMessageBoxes::SetTestMode(true);

  QTemporaryDir tmp;
  const QString dir = tmp.filePath(QStringLiteral("workbooks"));
  QDir().mkpath(dir);
  const QStringList paths = MakeWorkload(dir, count);
  const TMainFormPlaces places{tmp.filePath(QStringLiteral("Tabulyx.ini")), tmp.filePath(QStringLiteral("logs"))};

  std::printf("%-44s %8s %13s %13s\n", "task", "rows", "time", "peak RSS");
  std::unique_ptr<TMainForm> form;
  Time("start: create and show, empty list", 0, [&] {
    form = std::make_unique<TMainForm>(places);
    form->show();
    (void)QTest::qWaitForWindowExposed(form.get());
  });
  Time("AddDirectory (folder scan + AddFiles)", count, [&] { form->AddDirectory(dir); });
  form.reset();
  form = std::make_unique<TMainForm>(places);
  form->show();
  (void)QTest::qWaitForWindowExposed(form.get());
  Time("AddFiles (path list)", count, [&] { form->AddFiles(paths); });
  Time("AddFiles again (all duplicates, case differs)", count, [&] {
    QStringList upper;
    for (const QString &p : paths)
      upper << p.toUpper();
    form->AddFiles(upper);
  });

  auto *filter = form->findChild<QLineEdit *>(QStringLiteral("btnFilter"));
  Time("filter \"Sales\" (rebuild, stat shown files)", count, [&] { filter->setText(QStringLiteral("Sales")); });
  Time("filter cleared", count, [&] { filter->clear(); });

  auto *list = form->findChild<QTreeView *>(QStringLiteral("lstFile"));
  const char *columns[] = {"name", "folder", "size", "time"};
  for (int c = 0; c < 4; ++c)
    for (int d = 0; d < 2; ++d) {
      const QByteArray name = QByteArray("sort by ") + columns[c] + (d == 0 ? " (1st click)" : " (2nd click)");
      Time(name.constData(), count, [&] { emit list->header()->sectionClicked(c); });
    }

  Time("select all", count, [&] { form->Action(QStringLiteral("actAll"))->trigger(); });
  Time("map selected rows to paths", count, [&] {
    qsizetype total = 0;
    for (int row : form->SelectedRows())
      total += form->GetItemFilePath(row).size();
    if (total == 0)
      std::printf("no paths\n");
  });
  Time("invert selection", count, [&] { form->Action(QStringLiteral("actInvert"))->trigger(); });

  const QString listFile = tmp.filePath(QStringLiteral("list.txt"));
  Time("export file list", count, [&] {
    TFileDialogs::SetNextFileNames({listFile});
    form->Action(QStringLiteral("actExportFileList"))->trigger();
  });
  Time("open file list (replaces the list)", count, [&] {
    TFileDialogs::SetNextFileNames({listFile});
    form->Action(QStringLiteral("actOpenFileList"))->trigger();
  });
  Time("close (save settings)", count, [&] { form.reset(); });
  return 0;
}
