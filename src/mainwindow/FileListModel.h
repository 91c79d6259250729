#pragma once
// The file list of the main window: the master list of every workbook path added (FAllFiles) and
// the visible rows shown in lstFile, each row referring to its own master entry by a stable id.

#include <QAbstractTableModel>
#include <QDateTime>
#include <QHash>
#include <QString>
#include <QStringList>
#include <vector>

// Size text of a file: "%d B" below 1024 (also for -1, an unreadable size), "%.1f KB" below 1 MiB,
// else "%.1f MB" (no larger unit). The decimal separator is the locale's.
QString FormatFileSize(qint64 ASize, const QLocale &ALocale);
// Modification time as shown in the list; the time part is left out at exactly midnight.
QString FormatFileTime(const QDateTime &ATime);
// The number the size column sorts by, read back from its text; 0 when it does not parse.
double ParseFileSizeText(const QString &AText, const QLocale &ALocale);
// Seconds since the zero date 1899-12-30 of a time text; 0 when it does not parse.
qint64 ParseFileTimeText(const QString &AText);
// Name order of the list: ASCII a-z folded to capitals, then UTF-16 code units; a prefix sorts first.
int CompareFileNames(const QString &A, const QString &B);
// True when APath ends in ".xlsx" or ".xls", letter case ignored.
bool IsWorkbookPath(const QString &APath);

class TFileListModel : public QAbstractTableModel {
  Q_OBJECT
public:
  enum TColumn { fcName, fcFolder, fcSize, fcTime, fcCount };

  explicit TFileListModel(QObject *AParent = nullptr);

  // Master list. Membership ignores letter case.
  bool Contains(const QString &APath) const;
  int AllFilesCount() const { return int(FOrder.size()); }
  QStringList AllFiles() const;
  void ClearAll(); // empties the master list and the rows

  // Appends every path not yet listed (case ignored) to the master list and a row for it, in one
  // insertion. No extension test: whatever is passed is listed. Returns the number added.
  int AddFiles(const QStringList &AList);
  // Rebuilds the rows from the master list: every entry whose file name or folder contains AText
  // (letter case matters); all of them for an empty text. Size and time are read afresh.
  void ApplyFilter(const QString &AText);
  // Reorders the rows by a column; equal keys keep their relative order.
  void SortByColumn(int AColumn, bool ADescending);

  // Row access. A row whose entry left the master list yields an empty path.
  QString FilePath(int ARow) const;
  QString RowText(int ARow, int AColumn) const;
  // Replaces AOldPath's entry by ANewPath (or appends ANewPath when AOldPath is not listed) and
  // points the row at it; name and folder follow, size and time stay as they were.
  void UpdateItemPath(int ARow, const QString &AOldPath, const QString &ANewPath);
  // Reads size and time of the row's file afresh (after a rewrite in place); a row whose file is
  // gone keeps its texts.
  void RefreshFileInfo(int ARow);
  // Removes the given rows and their master entries.
  void RemoveRows(QList<int> ARows);

  // QAbstractItemModel
  int rowCount(const QModelIndex &AParent = QModelIndex()) const override;
  int columnCount(const QModelIndex &AParent = QModelIndex()) const override;
  QVariant data(const QModelIndex &AIndex, int ARole = Qt::DisplayRole) const override;
  QVariant headerData(int ASection, Qt::Orientation AOrientation, int ARole = Qt::DisplayRole) const override;

private:
  struct TRow {
    quint64 Entry = 0; // id of the master entry
    QString Name;
    QString Folder;
    QString SizeText;
    QString TimeText;
    double SizeKey = 0;   // what the size text reads back as
    qint64 TimeKey = 0;   // what the time text reads back as
  };

  TRow MakeRow(quint64 AEntry, const QString &APath) const;
  static QString FoldKey(const QString &APath);
  quint64 AppendEntry(const QString &APath);

  // FAllFiles: entry ids in the order added, their paths, and a case-folded index for membership.
  std::vector<quint64> FOrder;
  QHash<quint64, QString> FPaths;
  QHash<QString, quint64> FIndex;
  quint64 FNextId = 1;
  std::vector<TRow> FRows;
  QLocale FLocale;
};
