#pragma once
// Deterministic random numbers for the benchmark workload generators (splitmix64: small, fast and
// the same on every platform, so two runs write the same cells).

#include <cstdint>

class TWorkloadRandom {
public:
  explicit TWorkloadRandom(std::uint64_t ASeed) : FState(ASeed) {}
  std::uint64_t Next() {
    std::uint64_t z = (FState += 0x9E3779B97F4A7C15ULL);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
    return z ^ (z >> 31);
  }
  int Below(int AMax) { return int(Next() % std::uint64_t(AMax)); }
  double Unit() { return double(Next() >> 11) / double(1ULL << 53); }

private:
  std::uint64_t FState;
};
