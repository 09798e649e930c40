// libFuzzer target for the lane kernels and their scheduling. The input picks
// the kernel, the read size per lane, how many bytes each read may return, and
// a mix of up to 24 messages, so lanes are refilled: each one's length (0 to
// 5,000 bytes), where its reads start failing, if ever, and its bytes. Every
// digest and every failure must be what the scalar engine makes of the same
// file, and no read may stray outside a buffer.
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "digests/file_lanes.h"
#include "testing/string_stream.h"

namespace {

struct Input {
  const std::uint8_t* data;
  std::size_t size;
  std::size_t Take(std::size_t bytes) {  // a little-endian number; 0 once used up
    std::size_t value = 0;
    for (std::size_t i = 0; i < bytes && size != 0; ++i, ++data, --size) value |= std::size_t{*data} << (8 * i);
    return value;
  }
};

struct Message {
  std::string bytes;
  std::size_t fail_at;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace quillora;
  Input in{data, size};
  std::vector<LaneEngine> kernels;
  for (LaneEngine engine : {LaneEngine::kAvx2, LaneEngine::kAvx512}) {
    if (LaneEngineSupported(engine)) kernels.push_back(engine);
  }
  if (kernels.empty()) return 0;
  const LaneEngine engine = kernels[in.Take(1) % kernels.size()];
  const std::size_t chunk = 64 * (1 + in.Take(1) % 64);
  const std::size_t max_read = 1 + in.Take(2);
  std::vector<Message> messages;
  while (in.size != 0 && messages.size() < 24) {
    const std::size_t length = in.Take(2) % 5001;
    const std::size_t fails = in.Take(1);
    Message m{std::string(length, '\0'), fails < 16 ? fails * 512 : static_cast<std::size_t>(-1)};
    for (std::size_t i = 0; i < length; ++i) m.bytes[i] = static_cast<char>((in.size != 0 ? in.data[i % in.size] : 0) + i / 7);
    in.Take(length % 5);  // vary the next message's bytes
    messages.push_back(std::move(m));
  }

  std::size_t next = 0;
  std::vector<int> finished(messages.size(), 0);
  std::atomic<bool> stop{false};
  FileLanes lanes(engine, chunk);
  lanes.Run(
      [&](FileLanes::File& file, std::size_t) {
        if (next == messages.size()) return false;
        file.stream = std::make_unique<testing::StringStream>(messages[next].bytes, max_read, messages[next].fail_at);
        file.tag = next++;
        return true;
      },
      [&](std::uint64_t tag, const DigestBytes& digest, int error) {
        // The scalar engine's own file loop over the same stream is the oracle.
        const Message& m = messages[tag];
        testing::StringStream stream(m.bytes, max_read, m.fail_at);
        DigestBytes expected;
        const int expected_error = DigestOfOpenFile(stream, expected);
        ++finished[tag];
        if (error != expected_error || (error == 0 && digest != expected)) std::abort();
      },
      stop);
  for (int count : finished) {
    if (count != 1) std::abort();
  }
  return 0;
}
