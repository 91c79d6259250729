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
#include <zip.h>

namespace {

const char *const KWorkbook =
    "<workbook><sheets><sheet name=\"A\" sheetId=\"1\" r:id=\"rId1\"/>"
    "<sheet name=\"B\" state=\"hidden\" r:id=\"rId2\"/></sheets></workbook>";
const char *const KRels =
    "<Relationships><Relationship Id=\"rId1\" Type=\"http://x/worksheet\" Target=\"worksheets/sheet1.xml\"/>"
    "<Relationship Id=\"rId2\" Type=\"http://x/worksheet\" Target=\"/xl/worksheets/sheet1.xml\"/></Relationships>";

// A stored (uncompressed) package with the fixed workbook parts and AText as sheet and table.
QByteArray MakePackage(const QByteArray &AText) {
  zip_error_t err;
  zip_error_init(&err);
  zip_source_t *out = zip_source_buffer_create(nullptr, 0, 0, &err);
  zip_source_keep(out);
  zip_t *za = zip_open_from_source(out, ZIP_TRUNCATE, &err);
  QByteArray result;
  if (za) {
    const std::pair<const char *, QByteArray> members[] = {
        {"xl/workbook.xml", QByteArray(KWorkbook)},
        {"xl/_rels/workbook.xml.rels", QByteArray(KRels)},
        {"xl/worksheets/sheet1.xml", AText},
        {"xl/sharedStrings.xml", AText},
    };
    for (const auto &[name, data] : members) {
      zip_source_t *src = zip_source_buffer(za, data.constData(), static_cast<zip_uint64_t>(data.size()), 0);
      const zip_int64_t idx = zip_file_add(za, name, src, ZIP_FL_OVERWRITE);
      zip_set_file_compression(za, static_cast<zip_uint64_t>(idx), ZIP_CM_STORE, 0);
    }
    if (zip_close(za) == 0 && zip_source_open(out) == 0) {
      zip_source_seek(out, 0, SEEK_END);
      const zip_int64_t size = zip_source_tell(out);
      zip_source_seek(out, 0, SEEK_SET);
      result.resize(static_cast<qsizetype>(size));
      zip_source_read(out, result.data(), static_cast<zip_uint64_t>(size));
      zip_source_close(out);
    }
  }
  zip_source_free(out);
  zip_error_fini(&err);
  return result;
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
