#pragma once
// How engines report progress without knowing about windows: the UI binds this to the progress
// window, tests and the command line bind it to nothing or to a recorder.

#include <QString>

class TProgressSink {
public:
  virtual ~TProgressSink() = default;
  virtual void SetMessage(const QString &AMessage) = 0;
  // APercent is clamped by the receiver; callers report at coarse steps (per file, per 100 rows).
  virtual void SetProgress(int APercent) = 0;
};

// Reports nothing; the default where no progress is wanted.
class TNullProgressSink final : public TProgressSink {
public:
  void SetMessage(const QString &) override {}
  void SetProgress(int) override {}
};

// (i + 1) * 100 / n after item i of n, rounded to nearest with ties to even.
int ProgressPercent(int AIndex, int ACount);
