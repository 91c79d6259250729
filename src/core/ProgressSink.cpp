#include "ProgressSink.h"

int ProgressPercent(int AIndex, int ACount) {
  if (ACount <= 0)
    return 100;
  const long long num = (static_cast<long long>(AIndex) + 1) * 100;
  long long q = num / ACount;
  const long long r = num % ACount;
  // Round half to even.
  if (2 * r > ACount || (2 * r == ACount && (q % 2) != 0))
    ++q;
  return static_cast<int>(q);
}
