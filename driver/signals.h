// Stopping a run from outside: SIGTERM, SIGINT, SIGHUP, SIGPIPE and SIGXCPU (a CPU-time limit) take
// the table files back to their last finished model, as a failed model does, and end the process
// with status 128 + signal, so that a run stopped while it writes never leaves a half-written
// record behind. SIGXFSZ (a file-size limit) is ignored: the write fails and the run ends as on a
// full disk.
#pragma once

#include <signal.h>

#include "common/state.h"

namespace atmotab {

// While it lives, the stop signals cut the table files of UNITS back to their length at the last
// commit (commit_tables) and end the process with status 128 + signal, after one line on standard
// error. The handler uses async-signal-safe calls only (ftruncate, write, _exit). One guard at a
// time; the previous handlers come back when it goes. A signal that is ignored when the guard is
// made (nohup) is left ignored. SIGXFSZ is ignored while it lives.
class StopSignalGuard {
 public:
  explicit StopSignalGuard(Run::Units& units);
  ~StopSignalGuard();
  StopSignalGuard(const StopSignalGuard&) = delete;
  StopSignalGuard& operator=(const StopSignalGuard&) = delete;
};

// While it lives, the stop signals are held back (blocked in this thread); one that came meanwhile
// is handled when it goes.
class StopSignalHold {
 public:
  StopSignalHold();
  ~StopSignalHold();
  StopSignalHold(const StopSignalHold&) = delete;
  StopSignalHold& operator=(const StopSignalHold&) = delete;

 private:
  sigset_t old_;
};

// Commits both table files at the end of a model as one step: with the stop signals held back
// while the lengths are marked, a signal finds both files at the previous model or both at this
// one, never one file a model ahead of the other.
void commit_tables(Run& run);

}  // namespace atmotab
