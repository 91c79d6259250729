#include "TextUtils.h"

QString TrimText(const QString &AText) {
  qsizetype begin = 0;
  qsizetype end = AText.size();
  while (begin < end && AText.at(begin).unicode() <= 32)
    ++begin;
  while (end > begin && AText.at(end - 1).unicode() <= 32)
    --end;
  if (begin == 0 && end == AText.size())
    return AText;
  return AText.mid(begin, end - begin);
}

QString CaseKey(const QString &AText) { return AText.toCaseFolded(); }

bool SameText(const QString &A, const QString &B) { return CaseKey(A) == CaseKey(B); }

qsizetype IndexOfText(const QStringList &AList, const QString &AText) {
  const QString key = CaseKey(AText);
  for (qsizetype i = 0; i < AList.size(); ++i)
    if (CaseKey(AList.at(i)) == key)
      return i;
  return -1;
}

TCaseInsensitiveSet::TCaseInsensitiveSet(const QStringList &AList) {
  FKeys.reserve(AList.size());
  for (const QString &s : AList)
    Insert(s);
}

bool TCaseInsensitiveSet::InsertNew(const QString &AText) {
  const QString key = CaseKey(AText);
  if (FKeys.contains(key))
    return false;
  FKeys.insert(key);
  return true;
}
