#include "FileListModel.h"

#include "core/TextUtils.h"

#include <QDir>
#include <QFileInfo>
#include <QSet>
#include <algorithm>

namespace {

const QDate KZeroDate(1899, 12, 30);

// The list shows dates like 2025/3/9 14:05:07: unambiguous, parsable back, and what a Chinese
// desktop shows as short date plus long time.
const QString KDateFormat = QStringLiteral("yyyy/M/d");
const QString KDateTimeFormat = QStringLiteral("yyyy/M/d H:mm:ss");

qint64 SecondsSinceZeroDate(const QDateTime &ATime) {
  return qint64(KZeroDate.daysTo(ATime.date())) * 86400 + ATime.time().msecsSinceStartOfDay() / 1000;
}

QLocale ListLocale() {
  QLocale locale = QLocale::system();
  locale.setNumberOptions(QLocale::OmitGroupSeparator);
  return locale;
}

int SplitPoint(const QString &APath) {
  const int slash = int(APath.lastIndexOf(QLatin1Char('/')));
#ifdef Q_OS_WIN
  return std::max(slash, int(APath.lastIndexOf(QLatin1Char('\\'))));
#else
  return slash;
#endif
}

} // namespace

// ---------------------------------------------------------------------------------------------
// Texts and keys

QString FormatFileSize(qint64 ASize, const QLocale &ALocale) {
  if (ASize < 1024)
    return QString::number(ASize) + QStringLiteral(" B");
  if (ASize < 1048576)
    return ALocale.toString(double(ASize) / 1024.0, 'f', 1) + QStringLiteral(" KB");
  return ALocale.toString(double(ASize) / 1048576.0, 'f', 1) + QStringLiteral(" MB");
}

QString FormatFileTime(const QDateTime &ATime) {
  if (!ATime.isValid())
    return QString();
  if (ATime.time() == QTime(0, 0))
    return ATime.toString(KDateFormat);
  return ATime.toString(KDateTimeFormat);
}

double ParseFileSizeText(const QString &AText, const QLocale &ALocale) {
  struct TUnit {
    QLatin1StringView Suffix;
    double Factor;
  };
  static const TUnit units[] = {{QLatin1StringView(" MB"), 1048576.0},
                                {QLatin1StringView(" KB"), 1024.0},
                                {QLatin1StringView(" B"), 1.0}};
  for (const TUnit &unit : units) {
    if (!AText.contains(unit.Suffix.mid(1)))
      continue;
    QString number = AText;
    number.remove(unit.Suffix);
    bool ok = false;
    const double value = ALocale.toDouble(number, &ok);
    return ok ? value * unit.Factor : 0.0;
  }
  return 0.0;
}

qint64 ParseFileTimeText(const QString &AText) {
  QDateTime time = QDateTime::fromString(AText, KDateTimeFormat);
  if (!time.isValid())
    time = QDateTime(QDate::fromString(AText, KDateFormat), QTime(0, 0));
  return time.isValid() ? SecondsSinceZeroDate(time) : 0;
}

int CompareFileNames(const QString &A, const QString &B) {
  const qsizetype n = std::min(A.size(), B.size());
  const QChar *a = A.constData();
  const QChar *b = B.constData();
  for (qsizetype i = 0; i < n; ++i) {
    char16_t ca = a[i].unicode();
    char16_t cb = b[i].unicode();
    if (ca >= u'a' && ca <= u'z')
      ca -= 32;
    if (cb >= u'a' && cb <= u'z')
      cb -= 32;
    if (ca != cb)
      return ca < cb ? -1 : 1;
  }
  return A.size() == B.size() ? 0 : (A.size() < B.size() ? -1 : 1);
}

bool IsWorkbookPath(const QString &APath) {
  return APath.endsWith(QLatin1String(".xlsx"), Qt::CaseInsensitive) ||
         APath.endsWith(QLatin1String(".xls"), Qt::CaseInsensitive);
}

// ---------------------------------------------------------------------------------------------
// Master list

TFileListModel::TFileListModel(QObject *AParent) : QAbstractTableModel(AParent), FLocale(ListLocale()) {}

QString TFileListModel::FoldKey(const QString &APath) { return CaseKey(APath); }

bool TFileListModel::Contains(const QString &APath) const { return FIndex.contains(FoldKey(APath)); }

QStringList TFileListModel::AllFiles() const {
  QStringList list;
  list.reserve(qsizetype(FOrder.size()));
  for (quint64 id : FOrder)
    list << FPaths.value(id);
  return list;
}

quint64 TFileListModel::AppendEntry(const QString &APath) {
  const quint64 id = FNextId++;
  FOrder.push_back(id);
  FPaths.insert(id, APath);
  FIndex.insert(FoldKey(APath), id);
  return id;
}

void TFileListModel::ClearAll() {
  beginResetModel();
  FRows.clear();
  FOrder.clear();
  FPaths.clear();
  FIndex.clear();
  endResetModel();
}

TFileListModel::TRow TFileListModel::MakeRow(quint64 AEntry, const QString &APath) const {
  TRow row;
  row.Entry = AEntry;
  const int cut = SplitPoint(APath);
  row.Name = APath.mid(cut + 1);
  row.Folder = APath.left(cut + 1);
  const QFileInfo info(APath);
  if (info.exists() && !info.isDir()) {
    row.SizeText = FormatFileSize(info.size(), FLocale);
    row.SizeKey = ParseFileSizeText(row.SizeText, FLocale);
    const QDateTime time = info.lastModified();
    row.TimeText = FormatFileTime(time);
    // The key is what the shown text reads back as: whole seconds of the local time.
    row.TimeKey = time.isValid() ? SecondsSinceZeroDate(time) : 0;
  }
  return row;
}

int TFileListModel::AddFiles(const QStringList &AList) {
  std::vector<TRow> added;
  for (const QString &path : AList) {
    if (path.isEmpty() || Contains(path))
      continue;
    added.push_back(MakeRow(AppendEntry(path), path));
  }
  if (added.empty())
    return 0;
  const int first = int(FRows.size());
  beginInsertRows(QModelIndex(), first, first + int(added.size()) - 1);
  FRows.insert(FRows.end(), std::make_move_iterator(added.begin()), std::make_move_iterator(added.end()));
  endInsertRows();
  return int(added.size());
}

void TFileListModel::ApplyFilter(const QString &AText) {
  beginResetModel();
  FRows.clear();
  for (quint64 id : FOrder) {
    const QString &path = FPaths[id];
    // Match on the name and folder first: only the rows shown need their file read afresh.
    if (!AText.isEmpty()) {
      const int cut = SplitPoint(path);
      if (!QStringView(path).mid(cut + 1).contains(AText) && !QStringView(path).left(cut + 1).contains(AText))
        continue;
    }
    FRows.push_back(MakeRow(id, path));
  }
  endResetModel();
}

void TFileListModel::SortByColumn(int AColumn, bool ADescending) {
  auto less = [AColumn](const TRow &a, const TRow &b) {
    switch (AColumn) {
    case fcFolder:
      return CompareFileNames(a.Folder, b.Folder) < 0;
    case fcSize:
      return a.SizeKey < b.SizeKey;
    case fcTime:
      return a.TimeKey < b.TimeKey;
    default:
      return CompareFileNames(a.Name, b.Name) < 0;
    }
  };
  beginResetModel();
  if (ADescending)
    std::stable_sort(FRows.begin(), FRows.end(), [&](const TRow &a, const TRow &b) { return less(b, a); });
  else
    std::stable_sort(FRows.begin(), FRows.end(), less);
  endResetModel();
}

// ---------------------------------------------------------------------------------------------
// Rows

QString TFileListModel::FilePath(int ARow) const {
  if (ARow < 0 || ARow >= int(FRows.size()))
    return QString();
  return FPaths.value(FRows[size_t(ARow)].Entry);
}

QString TFileListModel::RowText(int ARow, int AColumn) const {
  if (ARow < 0 || ARow >= int(FRows.size()))
    return QString();
  const TRow &row = FRows[size_t(ARow)];
  switch (AColumn) {
  case fcName:
    return row.Name;
  case fcFolder:
    return row.Folder;
  case fcSize:
    return row.SizeText;
  case fcTime:
    return row.TimeText;
  }
  return QString();
}

void TFileListModel::UpdateItemPath(int ARow, const QString &AOldPath, const QString &ANewPath) {
  if (ARow < 0 || ARow >= int(FRows.size()))
    return;
  quint64 id = FIndex.value(FoldKey(AOldPath), 0);
  if (id != 0) {
    FIndex.remove(FoldKey(AOldPath));
    FPaths[id] = ANewPath;
    FIndex.insert(FoldKey(ANewPath), id);
  } else {
    id = AppendEntry(ANewPath);
  }
  TRow &row = FRows[size_t(ARow)];
  row.Entry = id;
  const int cut = SplitPoint(ANewPath);
  row.Name = ANewPath.mid(cut + 1);
  row.Folder = ANewPath.left(cut + 1);
  emit dataChanged(index(ARow, fcName), index(ARow, fcFolder));
}

void TFileListModel::RefreshFileInfo(int ARow) {
  const QString path = FilePath(ARow);
  if (path.isEmpty() || !QFileInfo(path).isFile())
    return;
  const TRow fresh = MakeRow(FRows[size_t(ARow)].Entry, path);
  TRow &row = FRows[size_t(ARow)];
  row.SizeText = fresh.SizeText;
  row.SizeKey = fresh.SizeKey;
  row.TimeText = fresh.TimeText;
  row.TimeKey = fresh.TimeKey;
  emit dataChanged(index(ARow, fcSize), index(ARow, fcTime));
}

void TFileListModel::RemoveRows(QList<int> ARows) {
  std::sort(ARows.begin(), ARows.end(), std::greater<int>());
  ARows.erase(std::unique(ARows.begin(), ARows.end()), ARows.end());
  QSet<quint64> removed;
  // Highest rows first, one removal per run of adjacent rows: removing all of a long list is one
  // step, not one shift of the rest per row.
  for (qsizetype i = 0; i < ARows.size();) {
    const int last = ARows[i];
    qsizetype next = i + 1;
    if (last < 0 || last >= int(FRows.size())) {
      i = next;
      continue;
    }
    while (next < ARows.size() && ARows[next] == ARows[next - 1] - 1 && ARows[next] >= 0)
      ++next;
    const int first = ARows[next - 1];
    for (int r = first; r <= last; ++r) {
      const quint64 id = FRows[size_t(r)].Entry;
      if (FPaths.contains(id)) {
        FIndex.remove(FoldKey(FPaths.value(id)));
        FPaths.remove(id);
        removed.insert(id);
      }
    }
    beginRemoveRows(QModelIndex(), first, last);
    FRows.erase(FRows.begin() + first, FRows.begin() + last + 1);
    endRemoveRows();
    i = next;
  }
  std::erase_if(FOrder, [&](quint64 AId) { return removed.contains(AId); });
}

// ---------------------------------------------------------------------------------------------
// QAbstractItemModel

int TFileListModel::rowCount(const QModelIndex &AParent) const {
  return AParent.isValid() ? 0 : int(FRows.size());
}

int TFileListModel::columnCount(const QModelIndex &AParent) const { return AParent.isValid() ? 0 : fcCount; }

QVariant TFileListModel::data(const QModelIndex &AIndex, int ARole) const {
  if (!checkIndex(AIndex, CheckIndexOption::IndexIsValid))
    return QVariant();
  if (ARole == Qt::DisplayRole)
    return RowText(AIndex.row(), AIndex.column());
  if (ARole == Qt::ToolTipRole && AIndex.column() <= fcFolder)
    return FilePath(AIndex.row());
  return QVariant();
}

QVariant TFileListModel::headerData(int ASection, Qt::Orientation AOrientation, int ARole) const {
  if (AOrientation != Qt::Horizontal || ARole != Qt::DisplayRole)
    return QVariant();
  switch (ASection) {
  case fcName:
    return QStringLiteral("文件名");
  case fcFolder:
    return QStringLiteral("路径");
  case fcSize:
    return QStringLiteral("大小");
  case fcTime:
    return QStringLiteral("修改时间");
  }
  return QVariant();
}
