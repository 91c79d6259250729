#pragma once
// The two text rules every part of the program shares: trimming (every character with a code of 32
// or lower, from both ends) and the one case-insensitive comparison used for paths, file names,
// sheet names, settings keys and name lists alike.

#include <QSet>
#include <QString>
#include <QStringList>

// Removes every character whose code is 32 (blank) or lower from both ends. Unlike
// QString::trimmed, non-breaking and other Unicode spaces are kept.
QString TrimText(const QString &AText);

// The key two texts share exactly when they are equal without regard to case (Unicode simple case
// folding, so ASCII letters and the letters of other scripts fold alike).
QString CaseKey(const QString &AText);
// Equal without regard to case, by CaseKey.
bool SameText(const QString &A, const QString &B);
// Index of the first entry of AList equal to AText without regard to case, or -1.
qsizetype IndexOfText(const QStringList &AList, const QString &AText);

// A set of texts compared without regard to case, for membership tests over long lists.
class TCaseInsensitiveSet {
public:
  TCaseInsensitiveSet() = default;
  explicit TCaseInsensitiveSet(const QStringList &AList);
  void Insert(const QString &AText) { FKeys.insert(CaseKey(AText)); }
  // Adds AText; false when an equal text was already there.
  bool InsertNew(const QString &AText);
  bool Contains(const QString &AText) const { return FKeys.contains(CaseKey(AText)); }

private:
  QSet<QString> FKeys;
};
