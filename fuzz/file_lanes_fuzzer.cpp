// libFuzzer target for the lane kernels and their manager. The input picks
// the kernel (of any family), the read size per lane, how many bytes each read may return, and
// a mix of up to 24 messages, so lanes are refilled: each one's length (0 to
// 5,000 bytes), where its reads start failing, if ever, and its bytes. Every
// digest and every failure must be what the family's one-stream engine makes
// of the same file, and no read may stray outside a buffer.
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "digests/file_digest.h"
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

// Feeds the messages in order; checks each outcome against the one-stream
// engine's own file loop over the same stream.
class Feed final : public quillora::FileLanes::Feed {
 public:
  Feed(const std::vector<Message>& messages, std::size_t max_read, quillora::DigestId digest)
      : messages_(messages), max_read_(max_read), digest_(digest), finished_(messages.size(), 0) {}
  bool Take(quillora::FileLanes::File& file, std::size_t) override {
    if (next_ == messages_.size()) return false;
    file.stream = std::make_unique<quillora::testing::StringStream>(messages_[next_].bytes, max_read_,
                                                                    messages_[next_].fail_at);
    file.tag = next_++;
    return true;
  }
  void Done(std::uint64_t tag, const quillora::DigestValue& digest, std::uint64_t bytes, int error) override {
    const Message& m = messages_[tag];
    quillora::testing::StringStream stream(m.bytes, max_read_, m.fail_at);
    quillora::DigestValues expected;
    std::uint64_t expected_bytes = 0;
    const int expected_error = quillora::DigestsOfOpenFile(stream, quillora::DigestSet{digest_}, expected, &expected_bytes);
    ++finished_[tag];
    if (error != expected_error ||
        (error == 0 && (!(digest == expected.front().second) || bytes != expected_bytes)))
      std::abort();
  }
  bool AllFinishedOnce() const {
    for (int count : finished_) {
      if (count != 1) return false;
    }
    return true;
  }

 private:
  const std::vector<Message>& messages_;
  std::size_t max_read_;
  quillora::DigestId digest_;
  std::size_t next_ = 0;
  std::vector<int> finished_;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace quillora;
  Input in{data, size};
  std::vector<const KernelInfo*> kernels;
  for (const KernelInfo& kernel : AllKernels()) {
    if (kernel.supported()) kernels.push_back(&kernel);
  }
  if (kernels.empty()) return 0;
  const KernelInfo& kernel = *kernels[in.Take(1) % kernels.size()];
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

  Feed feed(messages, max_read, kernel.digest);
  std::atomic<bool> stop{false};
  FileLanes lanes(kernel, chunk);
  lanes.Run(feed, stop);
  if (!feed.AllFinishedOnce()) std::abort();
  return 0;
}
