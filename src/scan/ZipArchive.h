#pragma once
// Read-only access to the members of a ZIP package (an .xlsx file) for the fast metadata reader:
// member lookup that ignores letter case, whole reads and streamed reads that inflate only as
// many bytes as the caller asks for.

#include <QByteArray>
#include <QString>
#include <cstdint>
#include <memory>
#include <string>
#include <unordered_map>

struct zip;
struct zip_file;

// One open member, read front to back. Each Read inflates just the bytes it returns. Deflated
// members are inflated here with zlib from libzip's raw bytes (no checksum pass over data that is
// mostly never read to the end); other methods go through libzip's own decoding.
class TZipMemberStream {
public:
  TZipMemberStream(const TZipMemberStream &) = delete;
  TZipMemberStream &operator=(const TZipMemberStream &) = delete;
  ~TZipMemberStream();

  // Appends up to ACount bytes to ABuffer; returns how many were appended (0 at the end).
  // Throws TFileFormatError when the member's data is corrupt.
  qint64 Read(QByteArray &ABuffer, qint64 ACount);
  // The member's uncompressed size as the archive's directory states it.
  quint64 Size() const { return FSize; }

private:
  friend class TZipArchive;
  TZipMemberStream(zip_file *AFile, quint64 ASize, bool ARawDeflate);
  qint64 ReadDecoded(char *AOut, qint64 ACount);
  qint64 ReadInflated(char *AOut, qint64 ACount);

  zip_file *FFile = nullptr;
  quint64 FSize = 0;
  struct TInflate;
  std::unique_ptr<TInflate> FInflate; // set for deflated members
};

class TZipArchive {
public:
  TZipArchive() = default;
  TZipArchive(const TZipArchive &) = delete;
  TZipArchive &operator=(const TZipArchive &) = delete;
  ~TZipArchive();

  // Opens the file at APath for reading. Throws TFileIoError / TFileFormatError when it cannot.
  // A small package is read into memory in one go, which costs less than the many seeks and
  // short reads of member-by-member access; a large one is read from the file as needed.
  void Open(const QString &APath);
  // Opens a package held in memory (the caller keeps ABytes alive while the archive is open).
  void OpenBuffer(const QByteArray &ABytes);
  void Close();
  bool IsOpen() const { return FZip != nullptr; }

  // Index of the member whose name equals AName ignoring ASCII letter case; -1 when absent.
  qint64 IndexOf(const char *AName) const;
  // Reads the whole member. Returns false when it is missing, unreadable, or larger than
  // AMaxBytes (a package part that inflates past any sane size is treated as unreadable).
  bool ReadAll(qint64 AIndex, QByteArray &AOut, qint64 AMaxBytes) const;
  // Opens the member as a stream. Throws TFileFormatError when it cannot be opened.
  std::unique_ptr<TZipMemberStream> OpenStream(qint64 AIndex) const;

private:
  zip *FZip = nullptr;
  QByteArray FBytes; // the package when it was read into memory
  // Member names in ASCII lower case -> index, built at the first lookup. libzip's own
  // case-insensitive lookup walks every entry each time, which a package with many members
  // and many sheets turns into a quadratic scan.
  mutable std::unordered_map<std::string, qint64> FNames;
  mutable bool FNamesBuilt = false;
};
