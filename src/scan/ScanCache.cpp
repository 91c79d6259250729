#include "ScanCache.h"

#include <QDateTime>
#include <QFileInfo>
#include <bit>

TBookMergeScanCache GBookMergeScanCache;
TBookSplitScanCache GBookSplitScanCache;
TSheetAddScanCache GSheetAddScanCache;
TBookScanCache GBookScanCache;
TSheetSplitScanCache GSheetSplitScanCache;
TCellAddScanCache GCellAddScanCache;
TCellMergeScanCache GCellMergeScanCache;
TCellSplitScanCache GCellSplitScanCache;
TCellCleanScanCache GCellCleanScanCache;

namespace {

// Days since 1899-12-30, the date-time value the key was defined on.
constexpr double KUnixEpochDays = 25569.0;
constexpr double KMsecsPerDay = 86400000.0;

} // namespace

QString BuildScanKey(const QString &APath, std::initializer_list<int> AParams) {
  qint64 size = 0;
  qint64 timeBits = 0;
  // One status query gives both the size and the time (QFileInfo caches what it read).
  const QFileInfo info(APath);
  if (info.exists()) {
    size = info.isFile() ? info.size() : -1;
    const QDateTime written = info.lastModified();
    if (written.isValid()) {
      const double days =
          KUnixEpochDays + static_cast<double>(written.toMSecsSinceEpoch() + written.offsetFromUtc() * 1000LL) / KMsecsPerDay;
      timeBits = std::bit_cast<qint64>(days);
    }
  }
  QString key = APath;
  key += u'|';
  key += QString::number(size);
  key += u'|';
  key += QString::number(timeBits);
  for (int p : AParams) {
    key += u'|';
    key += QString::number(p);
  }
  return key;
}
