// Fuzzes the Mac binary check with documents of any length read in pieces of any size, and with
// failing reads, which must reach the caller as the run-time error.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <cstdlib>
#include <string>

#include "analysis/header_scan.h"
#include "memory_document.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzedDataProvider in(data, size);
  auto& d = pelmora::fuzz::Doc();
  d = {};
  d.piece = in.ConsumeIntegralInRange<std::size_t>(1, 256);
  d.failing_read = in.ConsumeBool() ? in.ConsumeIntegralInRange<int>(0, 8) : -1;
  d.bytes = in.ConsumeRemainingBytesAsString();

  std::string head = d.bytes.substr(0, 128);
  head.resize(128, '\0');
  const auto b = [&](int i) { return static_cast<unsigned char>(head[i]); };
  const bool want = b(0) == 0 && b(74) == 0 && b(82) == 0 && b(1) >= 1 && b(1) <= 63;

  const auto previous = pelmora::analysis::SetDocumentOpener(&pelmora::fuzz::OpenMemory);
  bool got = false, threw = false;
  try {
    got = pelmora::analysis::IsMacBinary("fuzz.eps");
  } catch (const pelmora::RunError& e) {
    threw = e.number() == pelmora::err::kDeviceIoError;
  }
  pelmora::analysis::SetDocumentOpener(previous);
  if (d.failed ? !threw : (threw || got != want)) std::abort();
  return 0;
}
