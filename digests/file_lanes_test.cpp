#include "digests/file_lanes.h"

#include <cerrno>
#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "hashes/streaming_digest.h"
#include "testing/string_stream.h"
#include "testing/temp_tree.h"

namespace quillora {
namespace {

using testing::RandomBytes;
using testing::StringStream;

// Every kernel of every family that this CPU runs.
std::vector<const KernelInfo*> LaneKernels() {
  std::vector<const KernelInfo*> kernels;
  for (const KernelInfo& kernel : AllKernels()) {
    if (kernel.supported()) kernels.push_back(&kernel);
  }
  return kernels;
}

std::string NameOf(const KernelInfo& kernel) {
  return std::string(InfoOf(kernel.digest).name) + " " + std::string(kernel.name);
}

struct Message {
  std::string bytes;
  std::size_t fail_at = static_cast<std::size_t>(-1);  // a read from here on fails
};

// Large files handed over by FileLanes runs, for other runs to adopt.
using Handed = std::vector<FileLanes::Rest>;

std::string Result(const DigestValue& digest, int error) {
  return error != 0 ? "error " + std::to_string(error) : HexText(digest);
}

// Feeds messages in order, and keeps what FileLanes reports of each: the
// digest text, or "error N" (into results, from first_tag on). With handed,
// a worker's: large files are handed over when the lanes run thin and
// adopted from there.
class MessageFeed : public FileLanes::Feed {
 public:
  MessageFeed(const std::vector<Message>& messages, std::size_t max_read, std::vector<std::string>& results,
              std::size_t first_tag = 0, Handed* handed = nullptr)
      : messages_(messages), max_read_(max_read), results_(results), first_tag_(first_tag), handed_(handed) {}
  bool Take(FileLanes::File& file, std::size_t wanted) override {
    EXPECT_GE(wanted, 1u);
    if (!Comes()) return false;
    file.stream = std::make_unique<StringStream>(messages_[next_].bytes, max_read_, messages_[next_].fail_at);
    file.tag = first_tag_ + next_++;
    return true;
  }
  void Done(std::uint64_t tag, const DigestValue& digest, std::uint64_t bytes, int error) override {
    EXPECT_TRUE(results_[tag].empty()) << "message " << tag << " done twice";
    const bool own = tag >= first_tag_ && tag - first_tag_ < messages_.size();  // not one adopted from another run
    if (error == 0 && own) EXPECT_EQ(bytes, messages_[tag - first_tag_].bytes.size());
    results_[tag] = Result(digest, error);
  }
  Sharing sharing() const override { return handed_ != nullptr ? Sharing::kWorker : Sharing::kNone; }
  void Give(FileLanes::Rest&& rest) override { handed_->push_back(std::move(rest)); }
  bool Adopt(FileLanes::Rest& rest, DigestId, std::size_t busy) override {
    if (busy + handed_->size() < 3 || handed_->empty()) return false;
    rest = std::move(handed_->back());
    handed_->pop_back();
    return true;
  }

 protected:
  virtual bool Comes() { return next_ < messages_.size(); }
  const std::vector<Message>& messages_;
  std::size_t next_ = 0;

 private:
  std::size_t max_read_;
  std::vector<std::string>& results_;
  std::size_t first_tag_;
  Handed* handed_;
};

std::vector<std::string> LaneResults(const KernelInfo& kernel, const std::vector<Message>& messages,
                                     std::size_t chunk, std::size_t max_read, bool reads_apart,
                                     Handed* handed = nullptr, std::vector<std::string>* into = nullptr,
                                     std::size_t first_tag = 0) {
  std::vector<std::string> own(messages.size());
  MessageFeed feed(messages, max_read, into != nullptr ? *into : own, first_tag, handed);
  std::atomic<bool> stop{false};
  FileLanes lanes(kernel, chunk, reads_apart);
  lanes.Run(feed, stop);
  return own;
}

void FinishHanded(Handed& handed, std::vector<std::string>& results) {
  for (FileLanes::Rest& rest : handed) {
    const std::uint64_t tag = rest.tag;
    DigestValue digest;
    std::uint64_t bytes = 0;
    const int error = FinishAlone(rest, digest, bytes);
    results[tag] = Result(digest, error);
  }
  handed.clear();
}

std::vector<std::string> ScalarResults(DigestId digest, const std::vector<Message>& messages) {
  std::vector<std::string> results;
  for (const Message& m : messages) {
    results.push_back(m.fail_at < m.bytes.size() ? "error " + std::to_string(EIO)
                                                 : HexText(DigestOfBytes(digest, m.bytes)));
  }
  return results;
}

std::vector<Message> OfLengths(const std::vector<std::size_t>& lengths) {
  std::vector<Message> messages;
  for (std::size_t n : lengths) messages.push_back({RandomBytes(n, static_cast<unsigned>(messages.size() + n))});
  return messages;
}

TEST(FileLanes, EveryKernelGivesTheScalarDigests) {
  std::mt19937 random(7);
  std::vector<std::size_t> edges = {0, 1, 55, 56, 63, 64, 65, 119, 120, 1 << 20};
  for (int i = 0; i < 40; ++i) edges.push_back(random() % 5001);
  std::vector<std::size_t> many_short;  // each lane refilled many times, beside one long file
  for (int i = 0; i < 400; ++i) many_short.push_back(i == 3 ? 300'000 : random() % 300);
  std::vector<Message> failing = OfLengths({5000, 70'000, 64, 200'000, 0, 130});
  failing[1].fail_at = 65'536;  // after a whole chunk, part way into the file
  failing[3].fail_at = 1000;
  std::vector<Message> equal(16, Message{RandomBytes(4097, 3)});

  struct Case {
    const char* name;
    std::vector<Message> messages;
    std::size_t chunk;
    std::size_t max_read;
  };
  const std::vector<Case> cases = {
      {"lengths finishing at different times", OfLengths(edges), 64 * 1024, static_cast<std::size_t>(-1)},
      {"the same in small chunks and odd reads", OfLengths(edges), 128, 100},
      {"lanes refilled many times", OfLengths(many_short), 64 * 1024, static_cast<std::size_t>(-1)},
      {"all lanes equal", equal, 1024, static_cast<std::size_t>(-1)},
      {"one lane alone", OfLengths({100'003}), 4096, static_cast<std::size_t>(-1)},
      {"a large file left alone, finished on the scalar engine", OfLengths({(9 << 20) + 77, 70'000, 1000}), 64 * 1024,
       1000},
      {"reads failing part way free their lanes", failing, 4096, static_cast<std::size_t>(-1)},
  };
  const std::vector<const KernelInfo*> kernels = LaneKernels();
  if (kernels.empty()) GTEST_SKIP() << "no lane kernel in this build or on this CPU";
  for (const KernelInfo* kernel : kernels) {
    for (const bool reads_apart : {false, true}) {
      for (const Case& c : cases) {
        EXPECT_EQ(LaneResults(*kernel, c.messages, c.chunk, c.max_read, reads_apart),
                  ScalarResults(kernel->digest, c.messages))
            << NameOf(*kernel) << ": " << c.name << (reads_apart ? ", reads apart" : "");
      }
    }
  }
}

// Two large files left in thin lanes are handed over part way, then finished
// on the scalar engine or adopted by a run with three large files of its
// own; their digests stay the scalar ones, a read failing after it too, and
// when the next chunk was being read apart as the file went.
TEST(FileLanes, LargeFilesHandedOverFromThinLanesKeepTheirDigests) {
  std::vector<std::size_t> lengths = {(9 << 20) + 5, 100, (17 << 20) + 63, 7000, 3};
  for (int i = 0; i < 40; ++i) lengths.push_back(static_cast<std::size_t>(i) * 131);
  const std::vector<Message> two = OfLengths({(20 << 20) + 1, (21 << 20) + 2, (22 << 20) + 3, 64});
  for (const KernelInfo* kernel : LaneKernels()) {
    for (const bool adopted : {false, true}) {
      const bool apart = adopted;
      std::vector<Message> one = OfLengths(lengths);
      if (adopted) one[2].fail_at = 16 << 20;  // the read fails after the hand-over
      std::vector<std::string> results(one.size() + two.size()), expected = ScalarResults(kernel->digest, one);
      Handed handed;
      LaneResults(*kernel, one, 64 * 1024, static_cast<std::size_t>(-1), apart, &handed, &results);
      // Thin lanes of two: the kernels with three lanes or more keep two files at most.
      EXPECT_EQ(handed.size(), 2u) << NameOf(*kernel);
      if (!adopted) FinishHanded(handed, results);
      LaneResults(*kernel, two, 64 * 1024, static_cast<std::size_t>(-1), apart, &handed, &results, one.size());
      FinishHanded(handed, results);
      for (const std::string& digest : ScalarResults(kernel->digest, two)) expected.push_back(digest);
      EXPECT_EQ(results, expected) << NameOf(*kernel) << (adopted ? ", adopted" : "");
    }
  }
}

// The long lanes' way: files come now and then, so a file left alone goes
// on a chunk at a time on the scalar engine while more may come, and the
// others join it; once a free thread is wanted, the file with the most left
// goes to it. Every digest stays the scalar one.
TEST(FileLanes, FilesComingLateJoinOneLeftAloneAndAFreeThreadTakesTheLongest) {
  const std::vector<Message> messages = OfLengths({(9 << 20) + 5, (12 << 20) + 9, 100'000, 64, (10 << 20) + 1});
  // One file, then none for a few rounds, then the others one by one; a
  // free thread is wanted once all came and none was given away yet.
  class LateFeed final : public MessageFeed {
   public:
    LateFeed(const std::vector<Message>& messages, std::vector<std::string>& results, Handed& handed)
        : MessageFeed(messages, static_cast<std::size_t>(-1), results), handed_(handed) {}
    Sharing sharing() const override { return Sharing::kLongLanes; }
    void Give(FileLanes::Rest&& rest) override { handed_.push_back(std::move(rest)); }
    bool FinisherWaiting() override { return next_ == messages_.size() && handed_.empty(); }
    bool MoreMayCome() override { return next_ < messages_.size(); }

   private:
    bool Comes() override { return next_ < messages_.size() && (++calls_ >= 6 || next_ != 1); }
    Handed& handed_;
    std::size_t calls_ = 0;
  };
  for (const KernelInfo* kernel : LaneKernels()) {
    std::vector<std::string> results(messages.size());
    Handed handed;
    LateFeed feed(messages, results, handed);
    std::atomic<bool> stop{false};
    FileLanes lanes(*kernel, 64 * 1024);
    lanes.Run(feed, stop);
    // The three large files fit the narrow kernel where it has three lanes.
    if (kernel->narrow_lanes >= 3) {
      ASSERT_EQ(handed.size(), 1u) << NameOf(*kernel);
      EXPECT_EQ(handed[0].tag, 1u) << NameOf(*kernel) << ": the file with the most left";
    }
    FinishHanded(handed, results);
    EXPECT_EQ(results, ScalarResults(kernel->digest, messages)) << NameOf(*kernel);
  }
}

// Each digest runs its first supported kernel, or the one forced by name
// where it has it; "scalar" runs none.
TEST(LaneKernels, NamesAndChoice) {
  const auto names = KernelNames();
  ASSERT_FALSE(names.empty());
  EXPECT_EQ(names[0], "scalar");
  EXPECT_TRUE(KernelSupported("scalar"));
  EXPECT_FALSE(KernelSupported("sse"));
  EXPECT_FALSE(ForceKernel("sse"));
  for (const DigestId digest : {DigestId::kMd5, DigestId::kSha256}) {
    const KernelInfo* chosen = ActiveKernel(digest);
    for (const KernelInfo* kernel : LaneKernels()) {
      if (kernel->digest != digest) continue;
      EXPECT_EQ(chosen != nullptr, true) << InfoOf(digest).name;
      ASSERT_TRUE(ForceKernel(kernel->name));
      EXPECT_EQ(ActiveKernel(digest), kernel);
    }
    ASSERT_TRUE(ForceKernel("scalar"));
    EXPECT_EQ(ActiveKernel(digest), nullptr);
    EXPECT_EQ(LanedDigest(DigestSet{digest}), std::nullopt);
    ClearForcedKernel();
    EXPECT_EQ(ActiveKernel(digest), chosen);
  }
  EXPECT_EQ(LanedDigest(DigestSet{DigestId::kMd5, DigestId::kSha256}), std::nullopt) << "two digests take no lane";
  EXPECT_EQ(LanedDigest(DigestSet{DigestId::kSha1}), std::nullopt);
}

}  // namespace
}  // namespace quillora
