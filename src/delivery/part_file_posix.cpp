#include "delivery/part_file.h"

#include <atomic>
#include <csignal>
#include <cstring>
#include <unistd.h>

namespace pelmora::delivery {

namespace {

// Only what a signal handler may touch: a fixed buffer and a flag.
char gPath[4096];
volatile std::sig_atomic_t gArmed = 0;

void OnSignal(int sig) {
  RemovePartFileNow();
  // Then ends as the signal would have: the caller sees the same status.
  std::signal(sig, SIG_DFL);
  ::raise(sig);
}

}  // namespace

PartFile::PartFile(const std::filesystem::path& temp) {
  const auto& text = temp.native();
  if (text.size() >= sizeof gPath) return;  // the file could not have been created
  gArmed = 0;
  std::atomic_signal_fence(std::memory_order_seq_cst);
  std::memcpy(gPath, text.c_str(), text.size() + 1);
  std::atomic_signal_fence(std::memory_order_seq_cst);
  gArmed = 1;
}

PartFile::~PartFile() { gArmed = 0; }

void RemovePartFileNow() {
  if (gArmed) ::unlink(gPath);
}

void RemovePartFilesOnInterrupt() {
  for (const int sig : {SIGINT, SIGTERM, SIGHUP}) {
    struct sigaction old {};
    if (::sigaction(sig, nullptr, &old) != 0 || old.sa_handler == SIG_IGN) continue;  // nohup and the like
    struct sigaction sa {};
    sa.sa_handler = &OnSignal;
    sigemptyset(&sa.sa_mask);
    ::sigaction(sig, &sa, nullptr);
  }
}

}  // namespace pelmora::delivery
