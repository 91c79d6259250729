#include "sheet/Workbook.h"

#include "core/Errors.h"
#include "core/ProgressSink.h"
#include "sheet/xlsx/XlsxReader.h"
#include "sheet/xlsx/XlsxWriter.h"

#include <QFile>
#include <QFileInfo>

namespace {

const QByteArray KZipMagic("PK\x03\x04", 4);
const QByteArray KOleMagic("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1", 8);

// An OLE compound file holding "EncryptionInfo" and "EncryptedPackage" streams is an encrypted
// Office package; the stream names sit UTF-16 encoded in the directory sectors.
bool LooksEncryptedOle(const QByteArray &AData) {
  const QString name = QStringLiteral("EncryptedPackage");
  const QByteArray utf16(reinterpret_cast<const char *>(name.utf16()), name.size() * 2);
  return AData.contains(utf16);
}

[[noreturn]] void ThrowNotWorkbook(const QString &AFile) {
  throw TFileFormatError(QStringLiteral("文件不是有效的 Excel 工作簿（无法识别的文件内容）：%1").arg(AFile), AFile);
}

void CheckOle(const QByteArray &AData, const QString &AFile) {
  if (LooksEncryptedOle(AData))
    throw TEncryptedWorkbookError(
        QStringLiteral("工作簿已加密（受密码保护），无法打开：%1").arg(AFile), AFile);
  throw TUnsupportedError(
      QStringLiteral("暂不支持 .xls（Excel 97-2003）格式的工作簿：%1").arg(AFile), AFile);
}

} // namespace

TWorkbook::TWorkbook() { CreateNew(); }
TWorkbook::~TWorkbook() = default;

void TWorkbook::ClearForLoad() {
  FSheets.clear();
  FStrings.Clear();
  FStyles.ClearAll();
  FDefinedNames.clear();
  FActiveSheet = 0;
  FDate1904 = false;
  Extras.reset();
}

void TWorkbook::CreateNew() {
  ClearForLoad();
  FStyles.Reset();
  AddSheet(QStringLiteral("Sheet1"));
}

void TWorkbook::LoadFromFile(const QString &APath, TProgressSink *AProgress) {
  LoadPackage(nullptr, APath, AProgress);
}

void TWorkbook::LoadFromBytes(const QByteArray &AData, const QString &AFileName,
                              TProgressSink *AProgress) {
  LoadPackage(&AData, AFileName, AProgress);
}

void TWorkbook::LoadPackage(const QByteArray *AData, const QString &APath, TProgressSink *AProgress) {
  const QString shown = AData ? (APath.isEmpty() ? QStringLiteral("(内存)") : APath) : APath;
  QByteArray head;
  if (AData) {
    head = AData->left(8);
  } else {
    QFile f(APath);
    if (!f.exists())
      throw TFileIoError(QStringLiteral("文件不存在：%1").arg(APath), APath);
    if (!f.open(QIODevice::ReadOnly))
      throw TFileIoError(QStringLiteral("无法打开文件：%1（%2）").arg(APath, f.errorString()), APath);
    head = f.read(8);
    if (head.startsWith(KOleMagic)) {
      // Compound files are small enough to scan whole for the encryption streams.
      f.seek(0);
      CheckOle(f.readAll(), APath);
    }
  }
  if (head.isEmpty())
    throw TFileFormatError(QStringLiteral("文件为空，不是有效的 Excel 工作簿：%1").arg(shown), shown);
  if (head.startsWith(KOleMagic))
    CheckOle(*AData, shown);
  if (!head.startsWith(KZipMagic) && !head.startsWith(QByteArray("PK\x05\x06", 4)))
    ThrowNotWorkbook(shown);
  try {
    ClearForLoad();
    ReadXlsxWorkbook(*this, AData, APath, AProgress);
    if (FSheets.empty())
      throw TFileFormatError(QStringLiteral("工作簿中没有任何工作表：%1").arg(shown), shown);
    if (FActiveSheet < 0 || FActiveSheet >= SheetCount()) FActiveSheet = 0;
  } catch (...) {
    CreateNew();
    throw;
  }
}

void TWorkbook::SaveToFile(const QString &APath) const {
  const QString ext = QFileInfo(APath).suffix().toLower();
  if (ext == QLatin1String("xlsx") || ext == QLatin1String("xlsm")) {
    WriteXlsxWorkbook(*this, &APath, nullptr);
    return;
  }
  if (ext == QLatin1String("xls"))
    throw TUnsupportedError(QStringLiteral("暂不支持保存为 .xls（Excel 97-2003）格式：%1").arg(APath), APath);
  throw TUnsupportedError(QStringLiteral("不支持的工作簿文件类型“.%1”：%2").arg(ext, APath), APath);
}

QByteArray TWorkbook::SaveToBytes() const {
  QByteArray out;
  WriteXlsxWorkbook(*this, nullptr, &out);
  return out;
}

// ---------------------------------------------------------------- sheets

const TSheet *TWorkbook::SheetByName(const QString &AName) const {
  const int i = SheetIndexByName(AName);
  return i < 0 ? nullptr : FSheets[size_t(i)].get();
}

TSheet *TWorkbook::SheetByName(const QString &AName) {
  const int i = SheetIndexByName(AName);
  return i < 0 ? nullptr : FSheets[size_t(i)].get();
}

int TWorkbook::SheetIndexByName(const QString &AName) const {
  for (size_t i = 0; i < FSheets.size(); ++i)
    if (FSheets[i]->Name().compare(AName, Qt::CaseInsensitive) == 0) return int(i);
  return -1;
}

int TWorkbook::IndexOfSheet(const TSheet *ASheet) const {
  for (size_t i = 0; i < FSheets.size(); ++i)
    if (FSheets[i].get() == ASheet) return int(i);
  return -1;
}

TSheet &TWorkbook::AddSheet(const QString &AName, TSheetKind AKind) {
  return InsertSheet(SheetCount(), AName, AKind);
}

TSheet &TWorkbook::InsertSheet(int AIndex, const QString &AName, TSheetKind AKind) {
  AIndex = qBound(0, AIndex, SheetCount());
  auto it = FSheets.insert(FSheets.begin() + AIndex, std::make_unique<TSheet>(this, AName, AKind));
  if (AIndex <= FActiveSheet && SheetCount() > 1) ++FActiveSheet;
  return **it;
}

void TWorkbook::MoveSheet(int AFrom, int ATo) {
  if (AFrom < 0 || AFrom >= SheetCount()) return;
  ATo = qBound(0, ATo, SheetCount() - 1);
  if (AFrom == ATo) return;
  TSheet *active = FSheets[size_t(FActiveSheet)].get();
  auto sheet = std::move(FSheets[size_t(AFrom)]);
  FSheets.erase(FSheets.begin() + AFrom);
  FSheets.insert(FSheets.begin() + ATo, std::move(sheet));
  FActiveSheet = IndexOfSheet(active);
}

void TWorkbook::DeleteSheet(int AIndex) {
  if (AIndex < 0 || AIndex >= SheetCount()) return;
  FSheets.erase(FSheets.begin() + AIndex);
  if (FActiveSheet > AIndex || FActiveSheet >= SheetCount()) FActiveSheet = qMax(0, FActiveSheet - 1);
  for (auto it = FDefinedNames.begin(); it != FDefinedNames.end();) {
    if (it->LocalSheet == AIndex) { it = FDefinedNames.erase(it); continue; }
    if (it->LocalSheet > AIndex) --it->LocalSheet;
    ++it;
  }
}

void TWorkbook::SetActiveSheetIndex(int AIndex) {
  if (AIndex >= 0 && AIndex < SheetCount()) FActiveSheet = AIndex;
}
