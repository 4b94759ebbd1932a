// The keyboard thread's side of the Monitor with any event, request, command,
// light request and timer, in any order, against an emulated keyboard in
// this process: input reports (report 3 and reports of other ids), the
// values the keyboard thread's window is posted, requests with any code and
// parameter, command blocks of any code and size. Nothing may crash or read
// past a buffer.
//
// Input: records of 1 byte kind, 2 bytes length, then that many bytes.

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <span>

#include "common/link_codes.h"
#include "common/reports.h"
#include "fuzz/fuzz_input.h"
#include "tests/monitor/link/link_rig.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace vyre;
  static testing::LinkRig* rig = [] {
    auto* r = new testing::LinkRig;  // lives for the whole run
    r->Connect();
    return r;
  }();
  using fuzz::Le;
  fuzz::ForEachRecord(data, size, [&](std::uint8_t kind, std::span<const std::uint8_t> body) {
    const std::size_t n = body.size();
    std::uint8_t words[16] = {};
    std::memcpy(words, body.data(), std::min<std::size_t>(n, sizeof words));
    const auto first = static_cast<std::uint32_t>(Le(words, 4));
    const auto second = static_cast<win::LPARAM>(Le(words + 4, 8));
    switch (kind % 6) {
      case 0:  // an input report as the keyboard sends it
        if (auto event = report::DecodeInputReport(body)) rig->link->HandleEvent(event->value());
        break;
      case 1:  // a value as the keyboard thread's window is posted it
        rig->link->HandleEvent(first);
        break;
      case 2:
        rig->link->HandleRequest(first, second);
        break;
      case 3:  // a command block: dwData, then the payload
        rig->link->HandleCommand(first, body.size() > 4 ? body.subspan(4) : std::span<const std::uint8_t>());
        break;
      case 4: {
        // A light step's pointer always points at a step, as in the Monitor.
        std::uint8_t step[16] = {};
        std::memcpy(step, words + 4, 8);
        const bool isStep = first == kLightStep;
        rig->link->LightRequest(first, isStep ? reinterpret_cast<win::LPARAM>(step) : second);
        break;
      }
      default:
        rig->link->OnTimer(100 + first % 9);
        break;
    }
  });
  rig->host.Take();
  rig->ClearTrace();
  win::MSG msg;
  while (win::PeekMessage(msg)) win::DispatchMessage(msg);
  return 0;
}
