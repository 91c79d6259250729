// The file list of the main window: adding files and folders, the filter, column sorting,
// selection, the status panels it writes, and saving and loading the list as a text file.

#include "FileListModel.h"
#include "MainFrm.h"
#include "core/Errors.h"
#include "core/LogImpl.h"
#include "core/TextCodec.h"
#include "core/TextUtils.h"
#include "widgets/MessageBoxes.h"

#include <QDir>
#include <QDirIterator>
#include <QFileInfo>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QTreeView>

namespace {

const QString KListFilter = QStringLiteral("文本文件|*.txt|所有文件|*.*");

} // namespace

// ---------------------------------------------------------------------------------------------
// Adding

void TMainForm::AddFiles(const QStringList &AList) {
  FFiles->AddFiles(AList);
  UpdateFileCount();
}

void TMainForm::AddDirectory(const QString &ADir) {
  QStringList found;
  // Direct entries only, hidden and system files included, in the file system's order.
  QDirIterator it(ADir, QDir::Files | QDir::Hidden | QDir::System);
  while (it.hasNext()) {
    const QString path = it.next();
    if (IsWorkbookPath(it.fileName()) && !it.fileInfo().isDir())
      found << QDir::toNativeSeparators(path);
  }
  if (!found.isEmpty())
    AddFiles(found);
}

void TMainForm::AddCommandLinePaths(const QStringList &APaths) {
  for (const QString &arg : APaths) {
    const QFileInfo info(arg);
    const QString path = QDir::toNativeSeparators(info.absoluteFilePath());
    if (info.isDir()) {
      FCurrentDir = path;
      AddDirectory(path);
    } else if (info.isFile() && IsWorkbookPath(path)) {
      AddFiles({path});
    } else if (info.exists()) {
      LogWarning(QStringLiteral("不是 Excel 工作簿，已跳过: ") + path);
    } else {
      LogWarning(QStringLiteral("文件不存在，已跳过: ") + path);
    }
  }
}

void TMainForm::actAddFileExecute() {
  const QStringList files = TFileDialogs::GetOpenFileNames(this, QStringLiteral("添加文件"), QString(),
                                                           QStringLiteral("Excel文件|*.xlsx;*.xls|所有文件|*.*"));
  QStringList paths;
  for (const QString &file : files)
    paths << QDir::toNativeSeparators(file);
  if (!paths.isEmpty())
    AddFiles(paths);
}

void TMainForm::actAddDirExecute() {
  const QString dir = TFileDialogs::GetExistingDirectory(this, QStringLiteral("选择目录"), FCurrentDir);
  if (dir.isEmpty())
    return;
  FCurrentDir = QDir::toNativeSeparators(dir);
  AddDirectory(FCurrentDir);
}

void TMainForm::actRefreshExecute() {
  if (FCurrentDir.isEmpty())
    return;
  FFiles->ClearAll();
  AddDirectory(FCurrentDir);
  UpdateFileCount();
  lstFileChange();
}

// ---------------------------------------------------------------------------------------------
// Filter and sorting

void TMainForm::btnFilterPropertiesChange() { ApplyFilter(btnFilter->text()); }

void TMainForm::ApplyFilter(const QString &AText) {
  FFiles->ApplyFilter(TrimText(AText));
  lstFile->header()->setSortIndicatorShown(false); // the rebuild discards the sort order
  UpdateFileCount();
  lstFileChange();
}

void TMainForm::lstFileColumnClick(int AColumn) {
  // One direction flag for all columns: a click on another column continues the alternation.
  const bool descending = FSortDescending;
  FFiles->SortByColumn(AColumn, descending);
  QHeaderView *header = lstFile->header();
  header->setSortIndicatorShown(true);
  header->setSortIndicator(AColumn, descending ? Qt::DescendingOrder : Qt::AscendingOrder);
  FSortDescending = !descending;
  lstFileChange();
}

// ---------------------------------------------------------------------------------------------
// Rows and selection

QString TMainForm::GetItemFilePath(int AItem) const { return FFiles->FilePath(AItem); }

QList<int> TMainForm::SelectedRows() const {
  QList<int> rows;
  for (const QModelIndex &index : lstFile->selectionModel()->selectedRows())
    rows << index.row();
  std::sort(rows.begin(), rows.end());
  return rows;
}

QString TMainForm::GetSelectedFilePath() const {
  const QList<int> rows = SelectedRows();
  return rows.isEmpty() ? QString() : GetItemFilePath(rows.first());
}

void TMainForm::UpdateItemPath(int AItem, const QString &AOldPath, const QString &ANewPath) {
  FFiles->UpdateItemPath(AItem, AOldPath, ANewPath);
}

void TMainForm::UpdateFileCount() {
  FStatusPanels[0]->setText(QStringLiteral("共 %1 个文件").arg(FFiles->rowCount()));
}

void TMainForm::lstFileChange() {
  const QModelIndex current = lstFile->currentIndex();
  const int row = current.isValid() ? current.row() : -1;
  const bool selected = row >= 0 && lstFile->selectionModel()->isRowSelected(row, QModelIndex());
  const QString path = selected ? GetItemFilePath(row) : QString();
  if (path.isEmpty()) {
    FStatusPanels[1]->clear();
    return;
  }
  // The preview follows the focused row once it is built.
  FStatusPanels[1]->setText(QStringLiteral("%1%2 | %3 | %4")
                                .arg(FFiles->RowText(row, TFileListModel::fcFolder),
                                     FFiles->RowText(row, TFileListModel::fcName),
                                     FFiles->RowText(row, TFileListModel::fcSize),
                                     FFiles->RowText(row, TFileListModel::fcTime)));
}

void TMainForm::actAllExecute() {
  lstFile->selectAll();
  lstFileChange();
}

void TMainForm::actInvertExecute() {
  const int rows = FFiles->rowCount();
  if (rows == 0)
    return;
  const QItemSelection all(FFiles->index(0, 0), FFiles->index(rows - 1, TFileListModel::fcCount - 1));
  lstFile->selectionModel()->select(all, QItemSelectionModel::Toggle | QItemSelectionModel::Rows);
  lstFileChange();
}

// ---------------------------------------------------------------------------------------------
// List files

void TMainForm::actOpenFileListExecute() {
  const QString file =
      TFileDialogs::GetOpenFileName(this, QStringLiteral("打开文件列表"), QString(), KListFilter);
  if (file.isEmpty())
    return;
  // A mark selects UTF-8 or UTF-16; without one, UTF-8 when the bytes are valid UTF-8, else GBK,
  // so lists saved on Windows machines load too.
  TDecodedText decoded;
  QString error;
  if (!ReadTextFile(file, TTextDecoding::tdAuto, decoded, &error))
    throw TFileIoError(QStringLiteral("无法读取文件列表: ") + file + QStringLiteral(" (") + error + QStringLiteral(")"),
                       file);
  QStringList paths;
  for (const QString &line : SplitTextLines(decoded.Text)) {
    const QString path = TrimText(line);
    if (path.isEmpty())
      continue;
    if (QFileInfo(path).isFile())
      paths << path;
    else
      LogWarning(QStringLiteral("文件不存在，已跳过: ") + path);
  }
  FFiles->ClearAll();
  AddFiles(paths);
  lstFileChange();
}

void TMainForm::actExportFileListExecute() {
  QString file = TFileDialogs::GetSaveFileName(this, QStringLiteral("导出文件列表"), QString(), KListFilter);
  if (file.isEmpty())
    return;
  if (QFileInfo(file).suffix().isEmpty())
    file += QStringLiteral(".txt");
  QString text;
  for (int row = 0; row < FFiles->rowCount(); ++row) {
    const QString path = GetItemFilePath(row);
    if (!path.isEmpty()) // a row whose entry has left the list has nothing to write
      text += path + QStringLiteral("\r\n");
  }
  QString error;
  if (!WriteTextFile(file, text, TTextEncoding::teSystemAnsi, &error))
    throw TFileIoError(QStringLiteral("无法写入文件列表: ") + file + QStringLiteral(" (") + error + QStringLiteral(")"),
                       file);
  LogInfo(QStringLiteral("文件列表已导出"), TLogPopup::lpYes);
}
