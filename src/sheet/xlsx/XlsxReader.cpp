#include "sheet/xlsx/XlsxReader.h"

#include "core/Errors.h"
#include "core/ProgressSink.h"
#include "sheet/Workbook.h"
#include "sheet/xlsx/XlsxParts.h"

#include <QSet>

namespace {

TSheetKind KindOfRelType(const QString &AType) {
  if (RelTypeIs(AType, "worksheet")) return TSheetKind::skWorksheet;
  if (RelTypeIs(AType, "chartsheet")) return TSheetKind::skChartsheet;
  if (RelTypeIs(AType, "dialogsheet")) return TSheetKind::skDialogsheet;
  if (RelTypeIs(AType, "macrosheet") || RelTypeIs(AType, "xlMacrosheet") || RelTypeIs(AType, "xlIntlMacrosheet"))
    return TSheetKind::skMacrosheet;
  return TSheetKind::skOther;
}

TSheetState StateOf(const QString &AState) {
  if (AState.compare(QLatin1String("hidden"), Qt::CaseInsensitive) == 0) return TSheetState::ssHidden;
  if (AState.compare(QLatin1String("veryHidden"), Qt::CaseInsensitive) == 0) return TSheetState::ssVeryHidden;
  return TSheetState::ssVisible;
}

class TPackageLoader {
public:
  TPackageLoader(TWorkbook &AWorkbook, const QByteArray *AData, const QString &APath, TProgressSink *AProgress)
      : FWorkbook(AWorkbook), FZip(AData, APath), FFile(APath), FProgress(AProgress),
        FExtras(std::make_shared<TXlsxWorkbookExtras>()) {}

  void Run() {
    ReadContentTypesPart();
    FindWorkbookPart();
    ReadWorkbook();
    ReadSheets();
    KeepUnconsumedParts();
    FWorkbook.Extras = FExtras;
  }

private:
  [[noreturn]] void Missing(const QString &APart) {
    throw TFileFormatError(QStringLiteral("工作簿文件不完整，缺少必需的部件 %1：%2").arg(APart, FFile), FFile, APart);
  }

  QByteArray ReadPart(const QString &AStored) {
    FConsumed.insert(AStored.toLower());
    return FZip.Read(AStored);
  }

  std::vector<TXlsxRelationship> ReadRelsOf(const QString &APart) {
    const QString stored = FZip.Find(RelsPartName(APart));
    if (stored.isEmpty()) return {};
    return ReadRelationships(ReadPart(stored), stored, FFile);
  }

  void ReadContentTypesPart() {
    const QString stored = FZip.Find(QStringLiteral("[Content_Types].xml"));
    if (stored.isEmpty()) {
      // An encrypted package or something else in a ZIP; without content types it is no workbook.
      if (FZip.MemberNames().isEmpty()) Missing(QStringLiteral("[Content_Types].xml"));
      if (FZip.Find(QStringLiteral("xl/workbook.xml")).isEmpty()) Missing(QStringLiteral("[Content_Types].xml"));
      return;
    }
    ReadContentTypes(ReadPart(stored), *FExtras, FFile);
  }

  void FindWorkbookPart() {
    for (const TXlsxRelationship &r : ReadRelsOf(QString()))
      if (RelTypeIs(r.Type, "officeDocument") && !r.External) {
        const QString stored = FZip.Find(ResolveTarget(QString(), r.Target));
        if (!stored.isEmpty()) {
          FExtras->WorkbookPart = stored;
          break;
        }
      }
    if (FExtras->WorkbookPart.isEmpty()) FExtras->WorkbookPart = FZip.Find(QStringLiteral("xl/workbook.xml"));
    if (FExtras->WorkbookPart.isEmpty()) {
      if (FZip.Find(QStringLiteral("word/document.xml")).size() || FZip.Find(QStringLiteral("ppt/presentation.xml")).size())
        throw TUnsupportedError(QStringLiteral("文件不是 Excel 工作簿（是其他 Office 文档）：%1").arg(FFile), FFile);
      Missing(QStringLiteral("xl/workbook.xml"));
    }
    if (FExtras->WorkbookPart.endsWith(QLatin1String(".bin"), Qt::CaseInsensitive))
      throw TUnsupportedError(QStringLiteral("暂不支持 .xlsb（Excel 二进制工作簿）格式：%1").arg(FFile), FFile);
    // The root relationships stay as they are (they name the workbook part we keep).
    FConsumed.remove(FZip.Find(QStringLiteral("_rels/.rels")).toLower());
  }

  void ReadWorkbook() {
    const QString wbPart = FExtras->WorkbookPart;
    FExtras->WorkbookXml = ReadPart(wbPart);
    ReadWorkbookPart(FExtras->WorkbookXml, FWorkbook, FEntries, FExtras->Strict, FActiveTab, wbPart, FFile);
    FWorkbookRels = ReadRelsOf(wbPart);
    for (const TXlsxRelationship &r : FWorkbookRels) {
      const QString target = r.External ? QString() : FZip.Find(ResolveTarget(wbPart, r.Target));
      if (RelTypeIs(r.Type, "styles") && !target.isEmpty()) {
        FExtras->StylesPart = target;
        FExtras->StylesXml = ReadPart(target);
        ReadStyles(FExtras->StylesXml, FWorkbook.Styles(), target, FFile);
      } else if (RelTypeIs(r.Type, "sharedStrings") && !target.isEmpty()) {
        FExtras->SharedStringsPart = target;
        FConsumed.insert(target.toLower());
        ReadSharedStrings(FZip, target, FWorkbook.Strings());
      } else if (RelTypeIs(r.Type, "calcChain")) {
        // Dropped: Excel rebuilds the chain, and a stale one makes it repair the file.
        if (!target.isEmpty()) FConsumed.insert(target.toLower());
      } else if (KindOfRelType(r.Type) == TSheetKind::skOther) {
        FExtras->WorkbookRels.push_back(r);
      }
    }
    if (FWorkbook.Styles().CellFormats.empty()) FWorkbook.Styles().Reset();
  }

  void ReadSheets() {
    qint64 total = 0, done = 0;
    struct TPlan {
      TXlsxSheetEntry Entry;
      TXlsxRelationship Rel;
      QString Part;
    };
    std::vector<TPlan> plans;
    QSet<QString> seenParts;
    QHash<QString, const TXlsxRelationship *> byId;
    for (const TXlsxRelationship &r : FWorkbookRels)
      if (!byId.contains(r.Id)) byId.insert(r.Id, &r); // of repeated ids the first counts
    for (const TXlsxSheetEntry &e : FEntries) {
      const TXlsxRelationship *it = byId.value(e.RelId);
      if (!it) continue; // a sheet without a part: Excel drops it too
      const QString part = it->External ? QString() : FZip.Find(ResolveTarget(FExtras->WorkbookPart, it->Target));
      if (part.isEmpty() || seenParts.contains(part.toLower())) continue;
      seenParts.insert(part.toLower());
      plans.push_back({e, *it, part});
      if (KindOfRelType(it->Type) == TSheetKind::skWorksheet) total += qMax<qint64>(0, FZip.UncompressedSize(part));
    }
    for (const TPlan &p : plans) {
      const TSheetKind kind = KindOfRelType(p.Rel.Type);
      TSheet &sheet = FWorkbook.AddSheet(p.Entry.Name, kind);
      sheet.SetState(StateOf(p.Entry.State));
      auto extras = std::make_shared<TXlsxSheetExtras>();
      extras->PartName = p.Part;
      extras->RelId = p.Rel.Id;
      extras->RelType = p.Rel.Type;
      extras->SheetId = p.Entry.SheetId;
      sheet.Extras = extras;
      if (kind != TSheetKind::skWorksheet) continue; // kept whole with its relationships
      FConsumed.insert(p.Part.toLower());
      std::vector<TXlsxPendingLink> links;
      ReadWorksheet(FZip, p.Part, sheet, *extras, links, [&](qint64 ABytes) {
        done += ABytes;
        if (FProgress && total > 0) FProgress->SetProgress(int(qMin<qint64>(99, done * 100 / total)));
      });
      ReadSheetRelations(sheet, *extras, links);
    }
    if (FActiveTab >= 0 && FActiveTab < FWorkbook.SheetCount()) FWorkbook.SetActiveSheetIndex(FActiveTab);
    if (FProgress) FProgress->SetProgress(100);
  }

  void ReadSheetRelations(TSheet &ASheet, TXlsxSheetExtras &AExtras, std::vector<TXlsxPendingLink> &ALinks) {
    const std::vector<TXlsxRelationship> rels = ReadRelsOf(AExtras.PartName);
    QString commentsPart;
    for (const TXlsxRelationship &r : rels) {
      if (RelTypeIs(r.Type, "hyperlink")) continue; // rebuilt from the model
      const QString target = r.External ? QString() : FZip.Find(ResolveTarget(AExtras.PartName, r.Target));
      if (RelTypeIs(r.Type, "comments") && !target.isEmpty()) {
        commentsPart = target;
        continue;
      }
      if (RelTypeIs(r.Type, "vmlDrawing") && r.Id == AExtras.VmlRelId) AExtras.VmlPart = target;
      AExtras.Rels.push_back(r);
    }
    QHash<QString, QString> targets;
    for (const TXlsxRelationship &r : rels)
      if (!targets.contains(r.Id)) targets.insert(r.Id, r.Target);
    for (TXlsxPendingLink &p : ALinks) {
      if (!p.RelId.isEmpty()) p.Link.Target = targets.value(p.RelId);
      ASheet.AddHyperlink(p.Link);
    }
    if (!commentsPart.isEmpty()) {
      ReadComments(ReadPart(commentsPart), ASheet, commentsPart, FFile);
      if (!AExtras.VmlPart.isEmpty()) ReadVmlCommentAltTexts(FZip.Read(AExtras.VmlPart), ASheet);
      for (const auto &[pos, c] : ASheet.Comments()) AExtras.CommentCells.insert(pos);
    }
  }

  // Kept parts sit in memory until the next save; a package that would need more than this is
  // refused rather than allowed to exhaust memory.
  void KeepUnconsumedParts() {
    constexpr qint64 KMaxKept = 1ll << 30;
    qint64 kept = 0;
    for (const QString &name : FZip.MemberNames()) {
      if (FConsumed.contains(name.toLower())) continue;
      FExtras->Parts.push_back({name, FZip.Read(name, KMaxKept - kept)});
      kept += FExtras->Parts.back().Data.size();
    }
  }

  TWorkbook &FWorkbook;
  TZipReader FZip;
  QString FFile;
  TProgressSink *FProgress;
  std::shared_ptr<TXlsxWorkbookExtras> FExtras;
  std::vector<TXlsxSheetEntry> FEntries;
  std::vector<TXlsxRelationship> FWorkbookRels;
  QSet<QString> FConsumed; // lower-case names of parts the model took over
  int FActiveTab = 0;
};

} // namespace

void ReadXlsxWorkbook(TWorkbook &AWorkbook, const QByteArray *AData, const QString &APath,
                      TProgressSink *AProgress) {
  TPackageLoader loader(AWorkbook, AData, APath, AProgress);
  loader.Run();
}
