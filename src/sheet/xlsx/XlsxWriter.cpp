#include "sheet/xlsx/XlsxWriter.h"

#include "core/Errors.h"
#include "sheet/Workbook.h"
#include "sheet/xlsx/XlsxParts.h"

#include <QFileInfo>
#include <QSet>

namespace {

const QString KRelBase = QStringLiteral("http://schemas.openxmlformats.org/officeDocument/2006/relationships/");
const QString KMainType = QStringLiteral("application/vnd.openxmlformats-officedocument.spreadsheetml.sheet.main+xml");
const QString KMacroMainType = QStringLiteral("application/vnd.ms-excel.sheet.macroEnabled.main+xml");
const QString KWorksheetType = QStringLiteral("application/vnd.openxmlformats-officedocument.spreadsheetml.worksheet+xml");
const QString KStylesType = QStringLiteral("application/vnd.openxmlformats-officedocument.spreadsheetml.styles+xml");
const QString KSstType = QStringLiteral("application/vnd.openxmlformats-officedocument.spreadsheetml.sharedStrings+xml");
const QString KCommentsType = QStringLiteral("application/vnd.openxmlformats-officedocument.spreadsheetml.comments+xml");
const QString KVmlType = QStringLiteral("application/vnd.openxmlformats-officedocument.vmlDrawing");
const QString KRelsType = QStringLiteral("application/vnd.openxmlformats-package.relationships+xml");

class TPackageWriter {
public:
  TPackageWriter(const TWorkbook &AWorkbook, const QString *APath, QByteArray *AOut)
      : FWorkbook(AWorkbook), FZip(APath, AOut),
        FExtras(dynamic_cast<const TXlsxWorkbookExtras *>(AWorkbook.Extras.get())) {
    const QString wbPart = FExtras ? FExtras->WorkbookPart : QString();
    FWorkbookPart = wbPart.isEmpty() ? QStringLiteral("xl/workbook.xml") : wbPart;
    const QString originalType = FExtras ? FExtras->OverrideTypes.value(FWorkbookPart.toLower()) : QString();
    if (APath) {
      FMacro = QFileInfo(*APath).suffix().compare(QLatin1String("xlsm"), Qt::CaseInsensitive) == 0;
    } else {
      FMacro = originalType == KMacroMainType;
    }
    if (FExtras) {
      FDefaults = FExtras->DefaultTypes;
      for (const TXlsxPart &p : FExtras->Parts) FUsedNames.insert(p.Name.toLower());
    }
    FDefaults.insert(QStringLiteral("rels"), KRelsType);
    FDefaults.insert(QStringLiteral("xml"), QStringLiteral("application/xml"));
    FUsedNames.insert(FWorkbookPart.toLower());
  }

  void Run() {
    MapStrings();
    PlanSheets();
    WriteSheets();
    WriteWorkbookAndShared();
    WriteKeptParts();
    FZip.AddBytes(QStringLiteral("[Content_Types].xml"), WriteContentTypes(FDefaults, FOverrides));
    FZip.Commit();
  }

private:
  QString Dir(const QString &APart) const {
    const qsizetype slash = APart.lastIndexOf(u'/');
    return slash < 0 ? QString() : APart.left(slash + 1);
  }

  // A part name not used yet: "<folder><stem>N.<ext>".
  QString FreshName(const QString &AFolder, const QString &AStem, const QString &AExt) {
    for (int n = 1;; ++n) {
      const QString name = AFolder + AStem + QString::number(n) + QLatin1Char('.') + AExt;
      if (!FUsedNames.contains(name.toLower())) {
        FUsedNames.insert(name.toLower());
        return name;
      }
    }
  }

  void AddType(const QString &APart, const QString &AType) {
    const QString ext = APart.mid(APart.lastIndexOf(u'.') + 1).toLower();
    if (FDefaults.value(ext) == AType) return;
    FOverrides.push_back({APart, AType});
  }

  void MapStrings() {
    const TStringTable &strings = FWorkbook.Strings();
    std::vector<char> used(size_t(strings.Count()), 0);
    for (int i = 0; i < FWorkbook.SheetCount(); ++i) {
      const TSheet &s = FWorkbook.Sheet(i);
      if (!s.IsTableView()) continue;
      s.ForEachCell([&](int, const TCellRecord &C) {
        if (C.Type() == TCellType::ctString && !C.HasFormula()) {
          used[C.Value.Index] = 1;
          ++FStringRefs;
        }
      });
    }
    FStringMap.assign(used.size(), -1);
    for (size_t i = 0; i < used.size(); ++i)
      if (used[i]) {
        FStringMap[i] = int(FUsedStrings.size());
        FUsedStrings.push_back(int(i));
      }
  }

  struct TSheetPlan {
    QString Part, RelId, RelType;
    int SheetId = 0;
  };

  void PlanSheets() {
    QSet<QString> relIds;
    for (const TXlsxRelationship &r : FExtras ? FExtras->WorkbookRels : std::vector<TXlsxRelationship>())
      relIds.insert(r.Id);
    QSet<int> sheetIds;
    int maxId = 0;
    for (int i = 0; i < FWorkbook.SheetCount(); ++i)
      if (auto *x = dynamic_cast<const TXlsxSheetExtras *>(FWorkbook.Sheet(i).Extras.get())) {
        maxId = qMax(maxId, x->SheetId);
        FUsedNames.insert(x->PartName.toLower());
      }
    for (int i = 0; i < FWorkbook.SheetCount(); ++i) {
      const TSheet &s = FWorkbook.Sheet(i);
      auto *x = dynamic_cast<const TXlsxSheetExtras *>(s.Extras.get());
      TSheetPlan p;
      if (x) {
        p.Part = x->PartName;
        p.RelType = x->RelType;
        p.RelId = x->RelId;
        p.SheetId = x->SheetId;
      }
      // A sheet copied in from another workbook keeps no claim on that workbook's names.
      if (x && FPlannedParts.contains(p.Part.toLower())) x = nullptr, p = TSheetPlan();
      if (p.Part.isEmpty()) {
        p.Part = FreshName(Dir(FWorkbookPart) + QStringLiteral("worksheets/"), QStringLiteral("sheet"), QStringLiteral("xml"));
        p.RelType = KRelBase + QStringLiteral("worksheet");
      }
      FPlannedParts.insert(p.Part.toLower());
      if (p.RelId.isEmpty() || relIds.contains(p.RelId)) p.RelId.clear();
      else relIds.insert(p.RelId);
      if (p.SheetId <= 0 || sheetIds.contains(p.SheetId)) p.SheetId = ++maxId;
      sheetIds.insert(p.SheetId);
      FSheetPlans.push_back(p);
    }
    // Fresh relationship ids last, so kept ids never collide.
    for (const QString &id : relIds) FWorkbookRelIds.Reserve(id);
    for (TSheetPlan &p : FSheetPlans)
      if (p.RelId.isEmpty()) p.RelId = FWorkbookRelIds.Take();
  }

  void WriteSheets() {
    for (int i = 0; i < FWorkbook.SheetCount(); ++i) {
      const TSheet &s = FWorkbook.Sheet(i);
      const TSheetPlan &p = FSheetPlans[size_t(i)];
      if (!s.IsTableView()) continue; // the part and its relationships are among the kept parts
      auto *x = dynamic_cast<const TXlsxSheetExtras *>(s.Extras.get());
      std::vector<TXlsxRelationship> rels = x ? x->Rels : std::vector<TXlsxRelationship>();
      TRelIdPool ids(rels);
      TXlsxSheetWriteContext ctx;
      ctx.StringMap = &FStringMap;
      ctx.Active = i == FWorkbook.ActiveSheetIndex();

      // Comments and their drawing.
      std::set<std::pair<int, int>> cells;
      for (const auto &[pos, c] : s.Comments()) cells.insert(pos);
      const bool hadVml = x && !x->VmlRelId.isEmpty();
      const bool commentsChanged = !x || cells != x->CommentCells;
      if (!s.Comments().empty()) {
        const QString commentsPart = FreshName(Dir(FWorkbookPart), QStringLiteral("comments"), QStringLiteral("xml"));
        FZip.AddBytes(commentsPart, WriteComments(s));
        AddType(commentsPart, KCommentsType);
        rels.push_back({ids.Take(), KRelBase + QStringLiteral("comments"), RelativeTarget(p.Part, commentsPart), false});
        if (commentsChanged || !hadVml) {
          if (hadVml) DropVml(rels, *x);
          // The new drawing takes the old one's name, so other parts pointing there stay right.
          const QString vmlPart = hadVml && !x->VmlPart.isEmpty()
                                      ? x->VmlPart
                                      : FreshName(Dir(FWorkbookPart) + QStringLiteral("drawings/"), QStringLiteral("vmlDrawing"), QStringLiteral("vml"));
          FZip.AddBytes(vmlPart, WriteCommentsVml(s));
          AddType(vmlPart, KVmlType);
          ctx.LegacyDrawingRelId = ids.Take();
          rels.push_back({ctx.LegacyDrawingRelId, KRelBase + QStringLiteral("vmlDrawing"), RelativeTarget(p.Part, vmlPart), false});
        }
      } else if (hadVml && !x->CommentCells.empty()) {
        DropVml(rels, *x);
        ctx.DropVml = true;
      }

      for (const THyperlink &h : s.Hyperlinks()) {
        if (h.Target.isEmpty()) {
          ctx.HyperlinkRelIds.push_back(QString());
          continue;
        }
        const QString id = ids.Take();
        rels.push_back({id, KRelBase + QStringLiteral("hyperlink"), h.Target, true});
        ctx.HyperlinkRelIds.push_back(id);
      }
      FZip.AddProducer(p.Part, WorksheetProducer(s, x, std::move(ctx)));
      AddType(p.Part, KWorksheetType);
      if (!rels.empty()) FZip.AddBytes(RelsPartName(p.Part), WriteRelationships(rels));
    }
  }

  void DropVml(std::vector<TXlsxRelationship> &ARels, const TXlsxSheetExtras &AExtras) {
    ARels.erase(std::remove_if(ARels.begin(), ARels.end(),
                               [&](const TXlsxRelationship &r) { return r.Id == AExtras.VmlRelId; }),
                ARels.end());
    if (!AExtras.VmlPart.isEmpty()) FDroppedParts.insert(AExtras.VmlPart.toLower());
  }

  void WriteWorkbookAndShared() {
    std::vector<TXlsxRelationship> rels;
    if (FExtras)
      for (const TXlsxRelationship &r : FExtras->WorkbookRels) {
        if (!FMacro && RelTypeIs(r.Type, "vbaProject")) {
          FDroppedParts.insert(ResolveTarget(FWorkbookPart, r.Target).toLower());
          continue;
        }
        rels.push_back(r);
      }
    std::vector<std::pair<QString, int>> refs;
    for (int i = 0; i < FWorkbook.SheetCount(); ++i) {
      const TSheetPlan &p = FSheetPlans[size_t(i)];
      rels.push_back({p.RelId, p.RelType, RelativeTarget(FWorkbookPart, p.Part), false});
      refs.push_back({p.RelId, p.SheetId});
    }
    for (const TXlsxRelationship &r : rels) FWorkbookRelIds.Reserve(r.Id);
    auto addRel = [&](const QString &AType, const QString &APart) {
      rels.push_back({FWorkbookRelIds.Take(), KRelBase + AType, RelativeTarget(FWorkbookPart, APart), false});
    };
    const QString stylesPart = FExtras && !FExtras->StylesPart.isEmpty() ? FExtras->StylesPart : Dir(FWorkbookPart) + QStringLiteral("styles.xml");
    FZip.AddBytes(stylesPart, WriteStyles(FWorkbook.Styles(), FExtras ? FExtras->StylesXml : QByteArray()));
    AddType(stylesPart, KStylesType);
    addRel(QStringLiteral("styles"), stylesPart);
    if (!FUsedStrings.empty()) {
      const QString sstPart = FExtras && !FExtras->SharedStringsPart.isEmpty() ? FExtras->SharedStringsPart : Dir(FWorkbookPart) + QStringLiteral("sharedStrings.xml");
      FZip.AddProducer(sstPart, SharedStringsProducer(FWorkbook.Strings(), FUsedStrings, FStringRefs));
      AddType(sstPart, KSstType);
      addRel(QStringLiteral("sharedStrings"), sstPart);
    }
    FZip.AddBytes(FWorkbookPart, WriteWorkbookPart(FWorkbook, FExtras ? FExtras->WorkbookXml : QByteArray(), refs));
    AddType(FWorkbookPart, FMacro ? KMacroMainType : KMainType);
    FZip.AddBytes(RelsPartName(FWorkbookPart), WriteRelationships(rels));
    if (FExtras && FExtras->Strict) {
      // The package relationships name the workbook with a strict type; rewritten transitional.
      for (const TXlsxPart &p : FExtras->Parts)
        if (p.Name.compare(QLatin1String("_rels/.rels"), Qt::CaseInsensitive) == 0) {
          FDroppedParts.insert(p.Name.toLower());
          FZip.AddBytes(p.Name, WriteRelationships(ReadRelationships(p.Data, p.Name, QString())));
        }
    } else if (!FExtras || !HasKept(QStringLiteral("_rels/.rels"))) {
      std::vector<TXlsxRelationship> root{{QStringLiteral("rId1"), KRelBase + QStringLiteral("officeDocument"), FWorkbookPart, false}};
      FZip.AddBytes(QStringLiteral("_rels/.rels"), WriteRelationships(root));
    }
  }

  bool HasKept(const QString &AName) const {
    if (!FExtras) return false;
    for (const TXlsxPart &p : FExtras->Parts)
      if (p.Name.compare(AName, Qt::CaseInsensitive) == 0) return true;
    return false;
  }

  void WriteKeptParts() {
    if (!FExtras) return;
    for (const TXlsxPart &p : FExtras->Parts) {
      const QString lower = p.Name.toLower();
      if (FDroppedParts.contains(lower) || p.Name == QLatin1String("[Content_Types].xml")) continue;
      FZip.AddBytes(p.Name, p.Data);
      const QString type = FExtras->OverrideTypes.value(lower);
      if (!type.isEmpty()) AddType(p.Name, type);
    }
  }

  const TWorkbook &FWorkbook;
  TZipWriter FZip;
  const TXlsxWorkbookExtras *FExtras;
  QString FWorkbookPart;
  bool FMacro = false;
  QHash<QString, QString> FDefaults;
  std::vector<std::pair<QString, QString>> FOverrides;
  QSet<QString> FUsedNames, FPlannedParts, FDroppedParts;
  std::vector<int> FStringMap, FUsedStrings;
  long long FStringRefs = 0;
  std::vector<TSheetPlan> FSheetPlans;
  TRelIdPool FWorkbookRelIds;
};

} // namespace

void WriteXlsxWorkbook(const TWorkbook &AWorkbook, const QString *APath, QByteArray *AOut) {
  // Excel repairs (and renames) a workbook with two sheets of one name or a sheet without a
  // name; such a document is refused before anything is written.
  QSet<QString> names;
  for (int i = 0; i < AWorkbook.SheetCount(); ++i) {
    const QString name = AWorkbook.Sheet(i).Name();
    const QString file = APath ? *APath : QString();
    if (name.trimmed().isEmpty())
      throw TArgumentError(QStringLiteral("第 %1 个工作表没有名称，无法保存工作簿").arg(i + 1), file);
    if (names.contains(name.toLower()))
      throw TArgumentError(QStringLiteral("工作簿中有重名的工作表“%1”，无法保存").arg(name), file);
    names.insert(name.toLower());
  }
  TPackageWriter writer(AWorkbook, APath, AOut);
  writer.Run();
}
