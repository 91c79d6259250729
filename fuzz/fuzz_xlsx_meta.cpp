// libFuzzer target for the fast .xlsx metadata reader. The first byte picks what the rest is:
// 0: a whole package; otherwise the text of a worksheet part (and of the shared-string table),
// placed into a small valid package so that the text scanners, the streamed column read and the
// shared-string lookups all see hostile text. Any outcome but a crash, a hang or a leak is fine.

#include "scan/XlsxMetaReader.h"
#include "scan/ZipArchive.h"

#include <QByteArray>
#include <cstddef>
#include <cstdint>
#include <exception>
#include <zlib.h>

namespace {

const char *const KWorkbook =
    "<workbook><sheets><sheet name=\"A\" sheetId=\"1\" r:id=\"rId1\"/>"
    "<sheet name=\"B\" state=\"hidden\" r:id=\"rId2\"/></sheets></workbook>";
const char *const KRels =
    "<Relationships><Relationship Id=\"rId1\" Type=\"http://x/worksheet\" Target=\"worksheets/sheet1.xml\"/>"
    "<Relationship Id=\"rId2\" Type=\"http://x/worksheet\" Target=\"/xl/worksheets/sheet1.xml\"/></Relationships>";

void Put16(QByteArray &AOut, quint32 AValue) {
  AOut += char(AValue & 0xFF);
  AOut += char((AValue >> 8) & 0xFF);
}
void Put32(QByteArray &AOut, quint32 AValue) {
  Put16(AOut, AValue & 0xFFFF);
  Put16(AOut, AValue >> 16);
}

// A stored (uncompressed) package with the fixed workbook parts and AText as sheet and table,
// written by hand: building it through libzip for every input would cost more than the read.
QByteArray MakePackage(const QByteArray &AText) {
  const std::pair<const char *, QByteArray> members[] = {
      {"xl/workbook.xml", QByteArray(KWorkbook)},
      {"xl/_rels/workbook.xml.rels", QByteArray(KRels)},
      {"xl/worksheets/sheet1.xml", AText},
      {"xl/sharedStrings.xml", AText},
  };
  QByteArray out, directory;
  for (const auto &[name, data] : members) {
    const quint32 crc = static_cast<quint32>(
        crc32(0, reinterpret_cast<const Bytef *>(data.constData()), static_cast<uInt>(data.size())));
    const quint32 nameLen = static_cast<quint32>(qstrlen(name));
    const quint32 offset = static_cast<quint32>(out.size());
    Put32(out, 0x04034b50);
    for (quint32 v : {20u, 0u, 0u, 0u, 0u})
      Put16(out, v);
    Put32(out, crc);
    Put32(out, static_cast<quint32>(data.size()));
    Put32(out, static_cast<quint32>(data.size()));
    Put16(out, nameLen);
    Put16(out, 0);
    out += name;
    out += data;
    Put32(directory, 0x02014b50);
    for (quint32 v : {20u, 20u, 0u, 0u, 0u, 0u})
      Put16(directory, v);
    Put32(directory, crc);
    Put32(directory, static_cast<quint32>(data.size()));
    Put32(directory, static_cast<quint32>(data.size()));
    for (quint32 v : {nameLen, 0u, 0u, 0u, 0u})
      Put16(directory, v);
    Put32(directory, 0);
    Put32(directory, offset);
    directory += name;
  }
  const quint32 dirOffset = static_cast<quint32>(out.size());
  out += directory;
  Put32(out, 0x06054b50);
  for (quint32 v : {0u, 0u, 4u, 4u})
    Put16(out, v);
  Put32(out, static_cast<quint32>(directory.size()));
  Put32(out, dirOffset);
  Put16(out, 0);
  return out;
}

void ReadPackage(const QByteArray &APackage) {
  TZipArchive archive;
  try {
    archive.OpenBuffer(APackage);
    std::vector<std::unique_ptr<TXlsxSheetMeta>> metas;
    int count = 0;
    ReadXlsxSheetMetasFromArchive(archive, 2, count, [](int) {}, 1, metas);
  } catch (const std::exception &) {
    // Raising is an allowed outcome (the scan falls back to a full load).
  }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *AData, size_t ASize) {
  if (ASize < 1)
    return 0;
  const QByteArray rest(reinterpret_cast<const char *>(AData) + 1, static_cast<qsizetype>(ASize - 1));
  if (AData[0] == 0) {
    ReadPackage(rest);
    return 0;
  }
  ReadPackage(MakePackage(rest));
  try {
    XlsxMeta::ParseWorkbookSheets(std::string_view(rest.constData(), static_cast<size_t>(rest.size())));
    XlsxMeta::ParseWorkbookRels(std::string_view(rest.constData(), static_cast<size_t>(rest.size())));
    TXlsxSheetMeta meta;
    XlsxMeta::TPendingShared pending;
    XlsxMeta::ParseSheetHeader(std::string_view(rest.constData(), static_cast<size_t>(rest.size())), false, 3, meta,
                               pending);
  } catch (const std::exception &) {
  }
  return 0;
}
