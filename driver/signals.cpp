#include "driver/signals.h"

#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <cstring>

namespace atmotab {
namespace {

// SIGXCPU is the kernel's at a CPU-time limit (ulimit -t, the CPU limits of batch systems), whose
// default action would end the run in the middle of a model.
constexpr int STOP_SIGNALS[] = {SIGTERM, SIGINT, SIGHUP, SIGPIPE, SIGXCPU};
constexpr int NSTOP = sizeof STOP_SIGNALS / sizeof STOP_SIGNALS[0];

// The handler's view of the run: a signal handler reaches nothing else, so this is the one piece
// of process-wide state of the program, set and cleared by StopSignalGuard.
std::atomic<Run::Units*> stop_units{nullptr};
struct sigaction previous[NSTOP];
struct sigaction previous_xfsz;

// Appends the decimal digits of V (0 <= V < 1000) to P; returns the new end.
char* put_number(char* p, int v) {
  if (v >= 100) *p++ = static_cast<char>('0' + v / 100);
  if (v >= 10) *p++ = static_cast<char>('0' + v / 10 % 10);
  *p++ = static_cast<char>('0' + v % 10);
  return p;
}

extern "C" void on_stop_signal(int sig) {
  if (Run::Units* u = stop_units.load()) {
    u->table.cut_back();
    u->maxima.cut_back();
  }
  static constexpr char HEAD[] = "atmotab: stopped by signal ";
  static constexpr char TAIL[] = "; the table files keep the models finished before it\n";
  char line[sizeof HEAD + sizeof TAIL + 4];
  char* p = line;
  for (const char* s = HEAD; *s != '\0'; ++s) *p++ = *s;
  p = put_number(p, sig);
  for (const char* s = TAIL; *s != '\0'; ++s) *p++ = *s;
  (void)!::write(STDERR_FILENO, line, static_cast<std::size_t>(p - line));
  ::_exit(128 + sig);
}

// The stop signals as a set.
sigset_t stop_set() {
  sigset_t set;
  sigemptyset(&set);
  for (int s : STOP_SIGNALS) sigaddset(&set, s);
  return set;
}

}  // namespace

StopSignalGuard::StopSignalGuard(Run::Units& units) {
  stop_units.store(&units);
  struct sigaction sa;
  std::memset(&sa, 0, sizeof sa);
  sa.sa_handler = on_stop_signal;
  sa.sa_mask = stop_set();  // one handler at a time
  for (int k = 0; k < NSTOP; ++k) {
    // A signal ignored when the program started (nohup, SIGINT of a background job of a shell
    // without job control) stays ignored: whoever started the run asked for that.
    ::sigaction(STOP_SIGNALS[k], nullptr, &previous[k]);
    if (previous[k].sa_handler != SIG_IGN) ::sigaction(STOP_SIGNALS[k], &sa, nullptr);
  }
  // A write beyond the file-size limit (ulimit -f) fails with EFBIG and the run ends as on a full
  // disk (status 2, the finished models kept), instead of SIGXFSZ killing it in the middle of a
  // write.
  struct sigaction ignore;
  std::memset(&ignore, 0, sizeof ignore);
  ignore.sa_handler = SIG_IGN;
  ::sigaction(SIGXFSZ, &ignore, &previous_xfsz);
}

StopSignalGuard::~StopSignalGuard() {
  for (int k = 0; k < NSTOP; ++k)
    if (previous[k].sa_handler != SIG_IGN) ::sigaction(STOP_SIGNALS[k], &previous[k], nullptr);
  ::sigaction(SIGXFSZ, &previous_xfsz, nullptr);
  stop_units.store(nullptr);
}

StopSignalHold::StopSignalHold() {
  const sigset_t set = stop_set();
  ::pthread_sigmask(SIG_BLOCK, &set, &old_);
}

StopSignalHold::~StopSignalHold() { ::pthread_sigmask(SIG_SETMASK, &old_, nullptr); }

void commit_tables(Run& run) {
  run.UNITS.table.flush();
  run.UNITS.maxima.flush();
  const StopSignalHold hold;
  run.UNITS.table.commit();
  run.UNITS.maxima.commit();
}

}  // namespace atmotab
