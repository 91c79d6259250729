// Loads workbooks through the engine and saves them again in one process, timing both halves
// apart, so the benchmark runner can report load and save without process start-up in them.
//
//   sheet_roundtrip [--save-dir DIR] [--display] FILE...
//
// --display also asks every non-empty cell for its display text (as the preview grid does).
// Prints one line: "files=N failed=F cells=C load_s=... display_s=... save_s=...".

#include "core/Errors.h"
#include "sheet/Workbook.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>

#include <cstdio>

int main(int argc, char **argv) {
  QCoreApplication app(argc, argv);
  QStringList files;
  QString saveDir;
  bool display = false;
  const QStringList args = app.arguments().mid(1);
  for (int i = 0; i < args.size(); ++i) {
    if (args[i] == QLatin1String("--save-dir") && i + 1 < args.size())
      saveDir = args[++i];
    else if (args[i] == QLatin1String("--display"))
      display = true;
    else
      files << args[i];
  }
  if (files.isEmpty()) {
    std::fprintf(stderr, "usage: sheet_roundtrip [--save-dir DIR] [--display] FILE...\n");
    return 2;
  }
  if (!saveDir.isEmpty())
    QDir().mkpath(saveDir);
  qint64 loadNs = 0, saveNs = 0, displayNs = 0;
  long long cells = 0;
  int failed = 0;
  QElapsedTimer timer;
  for (const QString &path : files) {
    try {
      TWorkbook book;
      timer.start();
      book.LoadFromFile(path);
      loadNs += timer.nsecsElapsed();
      for (int s = 0; s < book.SheetCount(); ++s) {
        const TSheet &sheet = book.Sheet(s);
        if (!sheet.IsTableView())
          continue;
        const TCellRange used = sheet.UsedArea();
        timer.start();
        for (int r = used.Top; r <= used.Bottom; ++r) {
          for (int c = used.Left; c <= used.Right; ++c) {
            if (sheet.IsCellEmpty(r, c))
              continue;
            ++cells;
            if (display)
              (void)sheet.DisplayText(r, c);
          }
        }
        displayNs += timer.nsecsElapsed();
      }
      if (!saveDir.isEmpty()) {
        timer.start();
        book.SaveToFile(saveDir + QLatin1Char('/') + QFileInfo(path).fileName());
        saveNs += timer.nsecsElapsed();
      }
    } catch (const TTabulyxError &e) {
      ++failed;
      std::fprintf(stderr, "%s: %s\n", qPrintable(path), qPrintable(e.Message()));
    }
  }
  std::printf("files=%lld failed=%d cells=%lld load_s=%.3f display_s=%.3f save_s=%.3f\n",
              static_cast<long long>(files.size()), failed, cells, loadNs / 1e9, displayNs / 1e9,
              saveNs / 1e9);
  return failed ? 1 : 0;
}
