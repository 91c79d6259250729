// The worksheet writer: the sheet part is produced in chunks while the archive is written, rows
// from the compact store, everything the reader kept as raw XML in its original position, and
// sections the model owns at their place in Excel's element order.

#include "sheet/xlsx/XlsxParts.h"

#include "sheet/FormulaShift.h"
#include "sheet/Workbook.h"
#include "sheet/xlsx/XlsxXml.h"

#include <charconv>
#include <cstring>

void AppendXlsxText(QByteArray &AOut, QStringView AText); // XlsxSharedStrings.cpp

namespace {

const char *const KMainNs = "http://schemas.openxmlformats.org/spreadsheetml/2006/main";
const char *const KRelNs = "http://schemas.openxmlformats.org/officeDocument/2006/relationships";

// Children of <worksheet> in the order Excel requires.
const char *const KSheetOrder[] = {
    "sheetPr", "dimension", "sheetViews", "sheetFormatPr", "cols", "sheetData", "sheetCalcPr",
    "sheetProtection", "protectedRanges", "scenarios", "autoFilter", "sortState", "dataConsolidate",
    "customSheetViews", "mergeCells", "phoneticPr", "conditionalFormatting", "dataValidations",
    "hyperlinks", "printOptions", "pageMargins", "pageSetup", "headerFooter", "rowBreaks",
    "colBreaks", "customProperties", "cellWatches", "ignoredErrors", "smartTags", "drawing",
    "legacyDrawing", "legacyDrawingHF", "drawingHF", "picture", "oleObjects", "controls",
    "webPublishItems", "tableParts", "extLst"};

int SheetRank(const QByteArray &AName) {
  for (int i = 0; i < int(std::size(KSheetOrder)); ++i)
    if (AName == KSheetOrder[i]) return i;
  return -1;
}

void AppendInt(QByteArray &AOut, long long AValue) {
  char buf[24];
  const auto r = std::to_chars(buf, buf + sizeof buf, AValue);
  AOut.append(buf, r.ptr - buf);
}

void AppendCellRef(QByteArray &AOut, int ARow, int ACol) {
  char buf[16];
  int n = 0;
  char letters[4];
  int c = ACol + 1;
  while (c > 0) {
    letters[n++] = char('A' + (c - 1) % 26);
    c = (c - 1) / 26;
  }
  int k = 0;
  while (n > 0) buf[k++] = letters[--n];
  const auto r = std::to_chars(buf + k, buf + sizeof buf, ARow + 1);
  AOut.append(buf, r.ptr - buf);
}

class TSheetProducer {
public:
  TSheetProducer(const TSheet &ASheet, const TXlsxSheetExtras *AExtras, TXlsxSheetWriteContext AContext)
      : FSheet(ASheet), FStrings(ASheet.Workbook().Strings()), FContext(std::move(AContext)) {
    BuildLayout(AExtras);
    // A shared formula whose master cell no longer holds it is written out in full per cell.
    FMasterAlive.assign(FSheet.Formulas().size(), false);
    FSheet.ForEachCell([&](int ARow, const TCellRecord &C) {
      if (C.HasFormula() && !C.IsSharedChild()) {
        const TFormula &f = FSheet.Formulas()[size_t(C.FormulaId())];
        if (f.MasterRow == ARow && f.MasterCol == C.Col) FMasterAlive[size_t(C.FormulaId())] = true;
      }
    });
  }

  qsizetype Produce(char *AOut, qsizetype ASize) {
    while (FPos >= FBuffer.size()) {
      FBuffer.clear();
      FPos = 0;
      if (!Fill()) return 0;
    }
    const qsizetype n = qMin(ASize, FBuffer.size() - FPos);
    std::memcpy(AOut, FBuffer.constData() + FPos, size_t(n));
    FPos += n;
    return n;
  }

private:
  // Items to write: raw XML (Xml set) or a model section (Name only).
  void BuildLayout(const TXlsxSheetExtras *AExtras) {
    QByteArray root = AExtras ? AExtras->RootAttributes : QByteArray();
    // Strict files come back in transitional form.
    root.replace("http://purl.oclc.org/ooxml/spreadsheetml/main", KMainNs);
    root.replace("http://purl.oclc.org/ooxml/officeDocument/relationships", KRelNs);
    if (!root.contains(" xmlns=\"")) root.prepend(QByteArray(" xmlns=\"") + KMainNs + '"');
    if (!root.contains(" xmlns:r=\"")) root.append(QByteArray(" xmlns:r=\"") + KRelNs + '"');
    FRoot = root;

    if (AExtras) FItems = AExtras->Items;
    const bool regeneratedVml = !FContext.LegacyDrawingRelId.isEmpty();
    for (auto it = FItems.begin(); it != FItems.end();) {
      if (it->Name == "legacyDrawing" && (regeneratedVml || FContext.DropVml)) {
        it = FItems.erase(it); // replaced below (or dropped with the comments)
        continue;
      }
      ++it;
    }
    // Only the active sheet may say it is selected, or Excel opens with the sheets grouped.
    if (!FContext.Active)
      for (auto &item : FItems)
        if (item.Name == "sheetViews") {
          item.Xml.replace(" tabSelected=\"1\"", "");
          item.Xml.replace(" tabSelected=\"true\"", "");
        }
    auto ensure = [&](const char *AName) {
      for (const auto &item : FItems)
        if (item.Name == AName) return;
      const int rank = SheetRank(AName);
      size_t pos = FItems.size();
      for (size_t i = 0; i < FItems.size(); ++i) {
        const int r = SheetRank(FItems[i].Name);
        if (r > rank) {
          pos = i;
          break;
        }
      }
      FItems.insert(FItems.begin() + qsizetype(pos), TXlsxSheetExtras::TItem{AName, QByteArray()});
    };
    ensure("dimension");
    ensure("sheetData");
    if (!FSheet.Columns().empty()) ensure("cols");
    if (!FSheet.MergedRanges().empty()) ensure("mergeCells");
    if (!FSheet.Hyperlinks().empty()) ensure("hyperlinks");
    if (regeneratedVml) {
      ensure("legacyDrawing");
      for (auto &item : FItems)
        if (item.Name == "legacyDrawing" && item.Xml.isEmpty()) {
          TXmlWriter w;
          w.Raw("<legacyDrawing").Attr("r:id", FContext.LegacyDrawingRelId).Raw("/>");
          item.Xml = w.Data;
        }
    }
    // Raw items with unknown names (mc:AlternateContent) ride along where they were.
  }

  // Appends the next piece; false at the end.
  bool Fill() {
    if (FStage == 0) {
      FBuffer.append("<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n<worksheet");
      FBuffer.append(FRoot).append('>');
      FStage = 1;
      return true;
    }
    if (FStage == 2) {
      // Inside sheetData: a batch of rows.
      const auto &rows = FSheet.Rows();
      while (FRow < rows.size() && FBuffer.size() < (1 << 18)) WriteRow(rows[FRow++]);
      if (FRow >= rows.size()) {
        FBuffer.append("</sheetData>");
        FStage = 1;
      }
      return true;
    }
    if (FStage == 1) {
      if (FItem >= FItems.size()) {
        FBuffer.append("</worksheet>");
        FStage = 3;
        return true;
      }
      const auto &item = FItems[FItem++];
      if (!item.Xml.isEmpty()) {
        FBuffer.append(item.Xml);
        return true;
      }
      WriteSection(item.Name);
      return true;
    }
    return false;
  }

  void WriteSection(const QByteArray &AName) {
    if (AName == "dimension") {
      const TCellRange used = FSheet.UsedArea();
      TXmlWriter w;
      w.Raw("<dimension").Attr("ref", used.IsEmpty() ? QStringLiteral("A1") : RangeRefName(used)).Raw("/>");
      FBuffer.append(w.Data);
    } else if (AName == "sheetData") {
      if (FSheet.Rows().empty()) {
        FBuffer.append("<sheetData/>");
      } else {
        FBuffer.append("<sheetData>");
        FStage = 2;
        FRow = 0;
      }
    } else if (AName == "cols") {
      WriteCols();
    } else if (AName == "mergeCells") {
      if (FSheet.MergedRanges().empty()) return;
      TXmlWriter w;
      w.Raw("<mergeCells").Attr("count", qint64(FSheet.MergedRanges().size())).Raw(">");
      for (const TCellRange &r : FSheet.MergedRanges()) w.Raw("<mergeCell").Attr("ref", RangeRefName(r)).Raw("/>");
      w.Raw("</mergeCells>");
      FBuffer.append(w.Data);
    } else if (AName == "hyperlinks") {
      WriteHyperlinks();
    }
  }

  void WriteCols() {
    if (FSheet.Columns().empty()) return;
    TXmlWriter w;
    w.Raw("<cols>");
    for (const TColumnRange &c : FSheet.Columns()) {
      w.Raw("<col").Attr("min", c.First + 1).Attr("max", c.Last + 1);
      // Excel rejects a <col> without width; the default column width stands in.
      w.AttrNum("width", c.Width >= 0 ? c.Width : 9.140625);
      if (c.Style) w.Attr("style", c.Style);
      if (c.Hidden) w.Raw(" hidden=\"1\"");
      if (c.BestFit) w.Raw(" bestFit=\"1\"");
      if (c.CustomWidth) w.Raw(" customWidth=\"1\"");
      if (c.Phonetic) w.Raw(" phonetic=\"1\"");
      if (c.OutlineLevel) w.Attr("outlineLevel", c.OutlineLevel);
      if (c.Collapsed) w.Raw(" collapsed=\"1\"");
      w.Raw("/>");
    }
    w.Raw("</cols>");
    FBuffer.append(w.Data);
  }

  void WriteHyperlinks() {
    const auto &links = FSheet.Hyperlinks();
    if (links.empty()) return;
    TXmlWriter w;
    w.Raw("<hyperlinks>");
    for (size_t i = 0; i < links.size(); ++i) {
      const THyperlink &h = links[i];
      w.Raw("<hyperlink").Attr("ref", RangeRefName(h.Range));
      if (i < FContext.HyperlinkRelIds.size() && !FContext.HyperlinkRelIds[i].isEmpty())
        w.Attr("r:id", FContext.HyperlinkRelIds[i]);
      if (!h.Location.isEmpty()) w.Attr("location", h.Location);
      if (!h.Tooltip.isEmpty()) w.Attr("tooltip", h.Tooltip);
      if (!h.Display.isEmpty()) w.Attr("display", h.Display);
      w.Raw("/>");
    }
    w.Raw("</hyperlinks>");
    FBuffer.append(w.Data);
  }

  void WriteRow(const TRowRecord &ARow) {
    if (ARow.Cells.empty() && !ARow.HasAttributes() && ARow.Style == 0) return;
    FBuffer.append("<row r=\"");
    AppendInt(FBuffer, ARow.Index + 1);
    FBuffer.append('"');
    if (ARow.Flags & TRowRecord::rfCustomFormat) {
      FBuffer.append(" s=\"");
      AppendInt(FBuffer, ARow.Style);
      FBuffer.append("\" customFormat=\"1\"");
    }
    if (ARow.Height >= 0) {
      FBuffer.append(" ht=\"");
      char buf[24]; // shortest text of the float itself: 14.4 stays "14.4"
      const auto r = std::to_chars(buf, buf + sizeof buf, ARow.Height);
      FBuffer.append(buf, r.ptr - buf);
      FBuffer.append('"');
      if (ARow.Flags & TRowRecord::rfCustomHeight) FBuffer.append(" customHeight=\"1\"");
    }
    if (ARow.Flags & TRowRecord::rfHidden) FBuffer.append(" hidden=\"1\"");
    if (ARow.OutlineLevel) {
      FBuffer.append(" outlineLevel=\"");
      AppendInt(FBuffer, ARow.OutlineLevel);
      FBuffer.append('"');
    }
    if (ARow.Flags & TRowRecord::rfCollapsed) FBuffer.append(" collapsed=\"1\"");
    if (ARow.Flags & TRowRecord::rfThickTop) FBuffer.append(" thickTop=\"1\"");
    if (ARow.Flags & TRowRecord::rfThickBottom) FBuffer.append(" thickBot=\"1\"");
    if (ARow.Cells.empty()) {
      FBuffer.append("/>");
      return;
    }
    FBuffer.append('>');
    for (const TCellRecord &c : ARow.Cells) WriteCell(ARow.Index, c);
    FBuffer.append("</row>");
  }

  void WriteFormula(int ARow, const TCellRecord &C) {
    const int id = C.FormulaId();
    if (id < 0 || id >= int(FSheet.Formulas().size())) return;
    const TFormula &f = FSheet.Formulas()[size_t(id)];
    if (C.IsSharedChild()) {
      // Children of a plain formula (shared by the reader to save memory) are written out in
      // full, as they came; children of Excel's shared formulas stay shared while their master
      // is there.
      if (f.Kind == TFormulaKind::fkShared && FMasterAlive[size_t(id)]) {
        FBuffer.append("<f t=\"shared\" si=\"");
        AppendInt(FBuffer, f.SharedIndex);
        FBuffer.append("\"/>");
      } else {
        FBuffer.append("<f>");
        AppendEscaped(FBuffer, ShiftFormulaReferences(f.Text, ARow - f.MasterRow, C.Col - f.MasterCol), false);
        FBuffer.append("</f>");
      }
      return;
    }
    FBuffer.append("<f");
    const bool isMaster = f.MasterRow == ARow && f.MasterCol == C.Col;
    if (isMaster && f.Kind == TFormulaKind::fkShared) {
      FBuffer.append(" t=\"shared\" ref=\"").append(RangeRefName(f.Ref).toLatin1()).append("\" si=\"");
      AppendInt(FBuffer, f.SharedIndex);
      FBuffer.append('"');
    } else if (isMaster && (f.Kind == TFormulaKind::fkArray || f.Kind == TFormulaKind::fkDataTable)) {
      FBuffer.append(f.Kind == TFormulaKind::fkArray ? " t=\"array\"" : " t=\"dataTable\"");
      if (!f.Ref.IsEmpty()) FBuffer.append(" ref=\"").append(RangeRefName(f.Ref).toLatin1()).append('"');
    }
    for (const auto &[k, v] : f.Options) {
      if (!isMaster && f.Kind != TFormulaKind::fkNormal) break;
      FBuffer.append(' ').append(k.toUtf8()).append("=\"");
      AppendEscaped(FBuffer, v, true);
      FBuffer.append('"');
    }
    FBuffer.append('>');
    // A cell inside an array or data-table range that is not its master carries the master's
    // formula moved to it (only shared children reach here otherwise).
    const QString text = isMaster ? f.Text : ShiftFormulaReferences(f.Text, ARow - f.MasterRow, C.Col - f.MasterCol);
    AppendEscaped(FBuffer, text, false);
    FBuffer.append("</f>");
  }

  void WriteCell(int ARow, const TCellRecord &C) {
    FBuffer.append("<c r=\"");
    AppendCellRef(FBuffer, ARow, C.Col);
    FBuffer.append('"');
    if (C.Style) {
      FBuffer.append(" s=\"");
      AppendInt(FBuffer, C.Style);
      FBuffer.append('"');
    }
    const TCellType type = C.Type();
    const bool formula = C.HasFormula();
    if (type == TCellType::ctEmpty && !formula) {
      FBuffer.append("/>");
      return;
    }
    switch (type) {
    case TCellType::ctString: FBuffer.append(formula ? " t=\"str\">" : " t=\"s\">"); break;
    case TCellType::ctBoolean: FBuffer.append(" t=\"b\">"); break;
    case TCellType::ctError: FBuffer.append(" t=\"e\">"); break;
    default: FBuffer.append('>'); break;
    }
    if (formula) WriteFormula(ARow, C);
    switch (type) {
    case TCellType::ctNumber:
      FBuffer.append("<v>");
      AppendDouble(FBuffer, C.Value.Number);
      FBuffer.append("</v>");
      break;
    case TCellType::ctString:
      if (formula) {
        // A text result with blanks at either end must say so, or readers trim them.
        const QStringView text = FStrings.View(int(C.Value.Index));
        const bool blankEnds = !text.isEmpty() && (text.front().isSpace() || text.back().isSpace());
        FBuffer.append(blankEnds ? "<v xml:space=\"preserve\">" : "<v>");
        AppendEscaped(FBuffer, text, false);
      } else {
        FBuffer.append("<v>");
        AppendInt(FBuffer, (*FContext.StringMap)[C.Value.Index]);
      }
      FBuffer.append("</v>");
      break;
    case TCellType::ctBoolean:
      FBuffer.append(C.Value.Index ? "<v>1</v>" : "<v>0</v>");
      break;
    case TCellType::ctError:
      FBuffer.append("<v>");
      AppendEscaped(FBuffer, FStrings.View(int(C.Value.Index)), false);
      FBuffer.append("</v>");
      break;
    default:
      break;
    }
    FBuffer.append("</c>");
  }

  const TSheet &FSheet;
  const TStringTable &FStrings;
  TXlsxSheetWriteContext FContext;
  QByteArray FRoot;
  std::vector<TXlsxSheetExtras::TItem> FItems;
  std::vector<bool> FMasterAlive;
  QByteArray FBuffer;
  qsizetype FPos = 0;
  int FStage = 0; // 0 header, 1 items, 2 rows, 3 done
  size_t FItem = 0;
  size_t FRow = 0;
};

} // namespace

TZipWriter::TProducer WorksheetProducer(const TSheet &ASheet, const TXlsxSheetExtras *AExtras,
                                        TXlsxSheetWriteContext AContext) {
  auto producer = std::make_shared<TSheetProducer>(ASheet, AExtras, std::move(AContext));
  return [producer](char *AOut, qsizetype ASize) { return producer->Produce(AOut, ASize); };
}
