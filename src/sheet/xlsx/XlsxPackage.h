#pragma once
// The package layer of .xlsx files and the only code of the engine that touches libzip: opens a
// package for reading (members found without regard to letter case, read whole or streamed in
// chunks under decompression limits) and writes a new one (members from bytes or produced on
// demand while the archive is written, so a large sheet never sits in memory as XML).

#include <QByteArray>
#include <QHash>
#include <QString>
#include <QStringList>
#include <functional>
#include <memory>

struct zip;

class TZipReader {
public:
  // Opens the package in AData, or the file APath when AData is null; throws TFileFormatError
  // (not a ZIP package, truncated) or TFileIoError.
  TZipReader(const QByteArray *AData, const QString &APath);
  ~TZipReader();
  TZipReader(const TZipReader &) = delete;
  TZipReader &operator=(const TZipReader &) = delete;

  // Stored member names in archive order (directories left out).
  const QStringList &MemberNames() const { return FNames; }
  // The stored name of a member ("xl/workbook.xml", a leading '/' ignored, letter case ignored);
  // empty when there is none.
  QString Find(const QString &AName) const;
  // The whole member, decompressed; throws when it is missing, corrupt or larger than ALimit.
  QByteArray Read(const QString &AStoredName, qint64 ALimit = 256ll << 20) const;
  // Streams the decompressed member through AConsume in large chunks.
  void Stream(const QString &AStoredName,
              const std::function<void(const char *, qsizetype)> &AConsume) const;
  qint64 UncompressedSize(const QString &AStoredName) const;
  const QString &Path() const { return FPath; }

private:
  qint64 IndexOf(const QString &AStoredName) const;
  [[noreturn]] void Fail(const QString &AMember, const QString &AWhy) const;
  zip *FZip = nullptr;
  QByteArray FData; // keeps in-memory bytes alive for libzip
  QString FPath;
  QStringList FNames;
  QHash<QString, qint64> FIndex; // lower-case name -> index
  mutable qint64 FTotalRead = 0;
};

class TZipWriter {
public:
  // Fills a buffer of at most ASize bytes; returns how many were written, 0 at the end.
  using TProducer = std::function<qsizetype(char *ABuffer, qsizetype ASize)>;

  // Writes to the file APath, or into *AOut when APath is null.
  TZipWriter(const QString *APath, QByteArray *AOut);
  ~TZipWriter();
  void AddBytes(const QString &AName, const QByteArray &AData);
  void AddProducer(const QString &AName, TProducer AProducer);
  // Writes the archive; throws TFileIoError on failure.
  void Commit();

private:
  struct TState;
  std::unique_ptr<TState> FState;
};
