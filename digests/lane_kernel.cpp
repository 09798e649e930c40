#include "digests/lane_kernel.h"

#include <algorithm>
#include <atomic>
#include <vector>

#include "md5/md5_lanes.h"
#include "sha256/sha256.h"
#include "sha256/sha256_lanes.h"

namespace quillora {
namespace {

// What the one adapter below needs of a family: its engines' lane words and
// steps, and how its one-stream state holds the same words.
struct Md5Family {
  using Engine = LaneEngine;
  using Words = LaneWords;
  static constexpr std::size_t kWords = 4;
  static std::uint32_t& Word(Words& words, std::size_t word, std::size_t lane) {
    switch (word) {
      case 0: return words.a[lane];
      case 1: return words.b[lane];
      case 2: return words.c[lane];
      default: return words.d[lane];
    }
  }
  static void StartLane(Words& words, std::size_t lane) { quillora::StartLane(words, lane); }
  static void Transform(Engine engine, Words& words, const std::uint8_t* const* data, std::size_t blocks,
                        std::size_t lanes) {
    TransformLanes(engine, words, data, blocks, lanes);
  }
  static OwnState Resume(const std::uint32_t (&words)[kWords], std::uint64_t hashed) {
    DigestState state;
    ResumeDigest(state, words, hashed);
    return state;
  }
  static void WordsOf(const OwnState& state, std::uint32_t (&words)[kWords]) {
    const DigestState& md5 = std::get<DigestState>(state);
    words[0] = md5.a, words[1] = md5.b, words[2] = md5.c, words[3] = md5.d;
  }
};

struct Sha256Family {
  using Engine = Sha256LaneEngine;
  using Words = Sha256LaneWords;
  static constexpr std::size_t kWords = 8;
  static std::uint32_t& Word(Words& words, std::size_t word, std::size_t lane) { return words.h[word][lane]; }
  static void StartLane(Words& words, std::size_t lane) { StartSha256Lane(words, lane); }
  static void Transform(Engine engine, Words& words, const std::uint8_t* const* data, std::size_t blocks,
                        std::size_t lanes) {
    TransformSha256Lanes(engine, words, data, blocks, lanes);
  }
  static OwnState Resume(const std::uint32_t (&words)[kWords], std::uint64_t hashed) {
    Sha256State state;
    ResumeSha256(state, words, hashed);
    return state;
  }
  static void WordsOf(const OwnState& state, std::uint32_t (&words)[kWords]) {
    const Sha256State& sha256 = std::get<Sha256State>(state);
    for (std::size_t w = 0; w < kWords; ++w) words[w] = sha256.h[w];
  }
};

// Every family's kernel behind the one interface: the steps that move words
// between lanes, and between a lane and a one-stream state, written once.
template <class Family>
class FamilyKernel final : public LaneKernel {
 public:
  FamilyKernel(typename Family::Engine engine, std::size_t lanes, std::size_t narrow)
      : engine_(engine), lanes_(lanes), narrow_(narrow) {}

  void Start(std::size_t lane) override { Family::StartLane(words_, lane); }

  void Compress(const std::uint8_t* const* data, std::size_t blocks, std::span<const std::size_t> busy) override {
    if (narrow_ == lanes_ || busy.size() > narrow_) return Family::Transform(engine_, words_, data, blocks, lanes_);
    // The busy lanes' words go into the narrow kernel's first lanes and
    // back, so files stay in their lanes (and buffers) whichever runs them.
    typename Family::Words narrow;
    const std::uint8_t* narrow_data[kMaxLanes];
    for (std::size_t j = 0; j < narrow_; ++j) {
      const std::size_t from = busy[std::min(j, busy.size() - 1)];
      narrow_data[j] = data[from];
      for (std::size_t w = 0; w < Family::kWords; ++w) Family::Word(narrow, w, j) = Family::Word(words_, w, from);
    }
    Family::Transform(engine_, narrow, narrow_data, blocks, narrow_);
    for (std::size_t j = 0; j < busy.size(); ++j) {
      for (std::size_t w = 0; w < Family::kWords; ++w) Family::Word(words_, w, busy[j]) = Family::Word(narrow, w, j);
    }
  }

  OwnState ToScalar(std::size_t lane, std::uint64_t hashed) const override {
    std::uint32_t words[Family::kWords];
    for (std::size_t w = 0; w < Family::kWords; ++w)
      words[w] = Family::Word(const_cast<typename Family::Words&>(words_), w, lane);
    return Family::Resume(words, hashed);
  }

  void ToLane(const OwnState& state, std::size_t lane) override {
    std::uint32_t words[Family::kWords];
    Family::WordsOf(state, words);
    for (std::size_t w = 0; w < Family::kWords; ++w) Family::Word(words_, w, lane) = words[w];
  }

 private:
  typename Family::Engine engine_;
  std::size_t lanes_, narrow_;
  typename Family::Words words_{};
};

bool Supported(LaneEngine engine) { return LaneEngineSupported(engine); }
bool Supported(Sha256LaneEngine engine) { return Sha256LaneEngineSupported(engine); }

template <class Family, auto kEngine>
KernelInfo Kernel(DigestId digest, std::string_view name) {
  return {digest,
          name,
          LaneCount(kEngine),
          NarrowLaneCount(kEngine),
          [] { return Supported(kEngine); },
          []() -> std::unique_ptr<LaneKernel> {
            return std::make_unique<FamilyKernel<Family>>(kEngine, LaneCount(kEngine), NarrowLaneCount(kEngine));
          }};
}

// Each family's kernels, the one it prefers first.
const std::vector<KernelInfo>& Kernels() {
  static const std::vector<KernelInfo> kernels = {
      Kernel<Md5Family, LaneEngine::kAvx512>(DigestId::kMd5, "avx512"),
      Kernel<Md5Family, LaneEngine::kAvx2>(DigestId::kMd5, "avx2"),
      // Three SHA-NI streams beat AVX2's eight lanes (2.0 against 0.9 times
      // one stream, bench/sha256_lanes_bench.sh on a Zen 3 EPYC).
      Kernel<Sha256Family, Sha256LaneEngine::kAvx512>(DigestId::kSha256, "avx512"),
      Kernel<Sha256Family, Sha256LaneEngine::kShaNi>(DigestId::kSha256, "sha-ni"),
      Kernel<Sha256Family, Sha256LaneEngine::kAvx2>(DigestId::kSha256, "avx2"),
  };
  return kernels;
}

const std::vector<std::string_view>& Names() {
  static const std::vector<std::string_view> names = [] {
    std::vector<std::string_view> all;
    for (const KernelInfo& kernel : Kernels()) {
      if (std::find(all.begin(), all.end(), kernel.name) == all.end()) all.push_back(kernel.name);
    }
    std::sort(all.begin(), all.end());
    all.insert(all.begin(), "scalar");
    return all;
  }();
  return names;
}

// The index in Names() of the kernel forced, or -1.
std::atomic<int> forced{-1};

}  // namespace

std::span<const KernelInfo> AllKernels() { return Kernels(); }

const KernelInfo* ActiveKernel(DigestId digest) {
  const int force = forced.load(std::memory_order_relaxed);
  if (force == 0) return nullptr;  // "scalar"
  const KernelInfo* chosen = nullptr;
  for (const KernelInfo& kernel : Kernels()) {
    if (kernel.digest != digest || !kernel.supported()) continue;
    if (force > 0 && kernel.name == Names()[static_cast<std::size_t>(force)]) return &kernel;
    if (chosen == nullptr) chosen = &kernel;
  }
  return chosen;
}

std::optional<DigestId> LanedDigest(DigestSet digests) {
  if (digests.size() != 1 || ActiveKernel(*digests.begin()) == nullptr) return std::nullopt;
  return *digests.begin();
}

std::span<const std::string_view> KernelNames() { return Names(); }

bool KernelSupported(std::string_view name) {
  if (name == "scalar") return true;
  return std::any_of(Kernels().begin(), Kernels().end(),
                     [name](const KernelInfo& kernel) { return kernel.name == name && kernel.supported(); });
}

bool ForceKernel(std::string_view name) {
  if (!KernelSupported(name)) return false;
  forced = static_cast<int>(std::find(Names().begin(), Names().end(), name) - Names().begin());
  return true;
}

void ClearForcedKernel() { forced = -1; }

std::string_view ForcedKernel() {
  const int force = forced.load(std::memory_order_relaxed);
  return force < 0 ? std::string_view() : Names()[static_cast<std::size_t>(force)];
}

std::string ActiveKernelsText() {
  std::string text;
  std::vector<DigestId> families;
  for (const KernelInfo& kernel : Kernels()) {
    if (std::find(families.begin(), families.end(), kernel.digest) != families.end()) continue;
    families.push_back(kernel.digest);
    const KernelInfo* active = ActiveKernel(kernel.digest);
    std::string family(InfoOf(kernel.digest).alone_name.empty() ? InfoOf(kernel.digest).cksum_name
                                                                       : InfoOf(kernel.digest).alone_name);
    text += (text.empty() ? "" : ", ") + family + ": " + std::string(active != nullptr ? active->name : "none");
  }
  return text;
}

}  // namespace quillora
