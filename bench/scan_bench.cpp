// Times the workbook scan in-process: reading the files' bytes (the floor), the first scan of
// every workbook through a dialog's scan routine (cache empty: fast reader), the second scan
// (answered by the cache: one status query per file), and the bare reader on single workbooks
// of very different sizes. Each timing is the best of three runs.
//
//   scan_bench books DIR            the workbooks *.xlsx in DIR
//   scan_bench tall FILE [REPEAT]   the bare reader on one workbook, REPEAT times (default 200)
//
// Prints "name seconds" lines for the runner (bench/run_scan_bench.py) to put side by side.

#include "scan/ScanCache.h"
#include "scan/WorkbookScan.h"
#include "scan/XlsxMetaReader.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <cstdio>
#include <sys/resource.h>

namespace {

constexpr int KRepeats = 3;

double Seconds(const QElapsedTimer &ATimer) { return ATimer.nsecsElapsed() / 1e9; }

void Print(const char *AName, double ASeconds, qint64 ACount) {
  std::printf("%s %.6f per_item_us=%.1f\n", AName, ASeconds, ASeconds * 1e6 / double(std::max<qint64>(1, ACount)));
}

int Books(const QString &ADir) {
  QStringList paths;
  for (const QString &name : QDir(ADir).entryList({QStringLiteral("*.xlsx")}, QDir::Files, QDir::Name))
    paths << QDir(ADir).filePath(name);
  if (paths.isEmpty())
    return 1;
  QElapsedTimer t;
  t.start();
  qint64 bytes = 0;
  for (const QString &p : paths) {
    QFile f(p);
    if (f.open(QIODevice::ReadOnly))
      bytes += f.readAll().size();
  }
  Print("bytes_floor", Seconds(t), paths.size());
  std::printf("books %lld bytes %lld\n", static_cast<long long>(paths.size()), static_cast<long long>(bytes));

  // Cold: the first scan of every workbook, the cache empty. Repeated with the cache cleared
  // in between and the best run taken, as for the Python floors, so that another process's burst
  // on this shared machine does not decide the ratio.
  TBookScanList cold;
  double best = 1e9;
  for (int rep = 0; rep < KRepeats; ++rep) {
    GBookScanCache.Clear();
    t.restart();
    cold = ScanSheetMergeSources(paths, 1, nullptr);
    best = std::min(best, Seconds(t));
  }
  Print("scan_cold", best, paths.size());
  qint64 sheets = 0;
  for (const auto &b : cold)
    sheets += static_cast<qint64>(b->Sheets.size());
  TBookScanList warm;
  best = 1e9;
  for (int rep = 0; rep < KRepeats; ++rep) {
    t.restart();
    warm = ScanSheetMergeSources(paths, 1, nullptr);
    best = std::min(best, Seconds(t));
  }
  Print("scan_warm", best, paths.size());
  std::printf("sheets %lld\n", static_cast<long long>(sheets));

  // The bare reader again (no cache), for the per-workbook cost of the fast path alone.
  best = 1e9;
  for (int rep = 0; rep < KRepeats; ++rep) {
    t.restart();
    for (const QString &p : paths) {
      std::vector<std::unique_ptr<TXlsxSheetMeta>> metas;
      int count = 0;
      ReadXlsxSheetMetas(p, 1, count, nullptr, -1, metas);
    }
    best = std::min(best, Seconds(t));
  }
  Print("reader_only", best, paths.size());
  return warm.size() == cold.size() ? 0 : 1;
}

int Tall(const QString &AFile, int ARepeat) {
  QElapsedTimer t;
  t.start();
  for (int i = 0; i < ARepeat; ++i) {
    std::vector<std::unique_ptr<TXlsxSheetMeta>> metas;
    int count = 0;
    if (!ReadXlsxSheetMetas(AFile, 1, count, nullptr, -1, metas))
      return 1;
  }
  Print("reader_tall", Seconds(t), ARepeat);
  return 0;
}

} // namespace

int main(int argc, char **argv) {
  QCoreApplication app(argc, argv);
  const QStringList args = app.arguments();
  int rc = 2;
  if (args.size() >= 3 && args[1] == QLatin1String("books"))
    rc = Books(args[2]);
  else if (args.size() >= 3 && args[1] == QLatin1String("tall"))
    rc = Tall(args[2], args.size() > 3 ? args[3].toInt() : 200);
  else
    std::fputs("usage: scan_bench books DIR | tall FILE [REPEAT]\n", stderr);
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  std::printf("peak_rss_kb %ld\n", usage.ru_maxrss);
  return rc;
}
