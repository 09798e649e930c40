#include "checkfile/digest_choice.h"

#include <algorithm>

namespace quillora {
namespace {

// The computed value of digest id, or nothing when it was not computed.
const DigestValue* ValueOf(const DigestValues& values, DigestId id) {
  for (const auto& [computed, value] : values) {
    if (computed == id) return &value;
  }
  return nullptr;
}

DigestSet Computed(const DigestValues& values) {
  DigestSet set;
  for (const auto& entry : values) set.insert(entry.first);
  return set;
}

// The candidate of expected that matched, if any.
std::optional<DigestId> MatchOf(const ExpectedDigest& expected, const DigestValues& values) {
  for (DigestId id : expected.candidates) {
    const DigestValue* value = ValueOf(values, id);
    if (value != nullptr && *value == expected.value) return id;
  }
  return std::nullopt;
}

// "SHA-1", "SHA-1 and SHA-256", "SHA-1, SHA-256 and CRC-32", in the table's
// order; with `last` "or" in place of "and".
std::string Listed(DigestSet digests, std::string_view last) {
  std::string text;
  int left = digests.size();
  for (DigestId id : digests) {
    text += InfoOf(id).name;
    --left;
    if (left > 1) text += ", ";
    if (left == 1) text.append(" ").append(last).append(" ");
  }
  return text;
}

}  // namespace

DigestSet DigestChoice::Candidates(const CheckRecord& record) {
  DigestSet set;
  for (const ExpectedDigest& expected : record.digests) set = set | expected.candidates;
  return set;
}

DigestChoice::Remembered* DigestChoice::Find(DigestSet candidates) {
  auto found = std::find_if(remembered_.begin(), remembered_.end(),
                            [candidates](const Remembered& r) { return r.candidates == candidates; });
  return found == remembered_.end() ? nullptr : &*found;
}

const DigestChoice::Remembered* DigestChoice::Find(DigestSet candidates) const {
  return const_cast<DigestChoice*>(this)->Find(candidates);
}

void DigestChoice::Remember(DigestSet candidates, DigestId matched) {
  Remembered* remembered = Find(candidates);
  if (remembered == nullptr) remembered = &remembered_.emplace_back(Remembered{candidates, {}, 0});
  remembered->matched = DigestSet{matched};
}

DigestSet DigestChoice::Request(const CheckRecord& record) const {
  DigestSet set;
  for (const ExpectedDigest& expected : record.digests) {
    const Remembered* remembered = expected.candidates.size() > 1 ? Find(expected.candidates) : nullptr;
    set = set | (remembered != nullptr && !remembered->matched.empty() ? remembered->matched : expected.candidates);
  }
  return set;
}

bool DigestChoice::WantsProbe(const CheckRecord& record) const {
  return std::any_of(record.digests.begin(), record.digests.end(), [this](const ExpectedDigest& expected) {
    if (expected.candidates.size() < 2) return false;
    const Remembered* remembered = Find(expected.candidates);
    return remembered == nullptr || (remembered->matched.empty() && remembered->failed_probes < kMaxProbes);
  });
}

void DigestChoice::Probed(const CheckRecord& record, const DigestValues& values) {
  for (const ExpectedDigest& expected : record.digests) {
    if (expected.candidates.size() < 2) continue;
    if (const std::optional<DigestId> matched = MatchOf(expected, values)) {
      Remember(expected.candidates, *matched);
    } else if (Remembered* remembered = Find(expected.candidates)) {
      ++remembered->failed_probes;
    } else {
      remembered_.push_back(Remembered{expected.candidates, {}, 1});
    }
  }
}

DigestChoice::Finding DigestChoice::Judge(const CheckRecord& record, const DigestValues& values) {
  const DigestSet computed = Computed(values);
  Finding finding = Finding::kMatch;
  for (const ExpectedDigest& expected : record.digests) {
    if (MatchOf(expected, values)) continue;
    const bool all_computed = (expected.candidates & computed) == expected.candidates;
    if (all_computed) {
      finding = Finding::kMismatch;
    } else if (finding == Finding::kMatch) {
      finding = Finding::kReadOthers;
    }
  }
  if (finding == Finding::kMismatch) Unsettled(record);
  if (finding != Finding::kMatch) return finding;
  for (const ExpectedDigest& expected : record.digests) {
    const DigestId matched = *MatchOf(expected, values);
    settled_.insert(matched);
    if (expected.candidates.size() > 1) Remember(expected.candidates, matched);
  }
  return finding;
}

DigestSet DigestChoice::Others(const CheckRecord& record, const DigestValues& values) {
  const DigestSet computed = Computed(values);
  DigestSet others;
  for (const ExpectedDigest& expected : record.digests) {
    if (MatchOf(expected, values)) continue;
    for (DigestId id : expected.candidates) {
      if (!computed.contains(id)) others.insert(id);
    }
  }
  return others;
}

void DigestChoice::Unsettled(const CheckRecord& record) {
  for (const ExpectedDigest& expected : record.digests) {
    if (expected.candidates.size() == 1) {
      settled_ = settled_ | expected.candidates;
    } else if (std::find(unsettled_.begin(), unsettled_.end(), expected.candidates) == unsettled_.end()) {
      unsettled_.push_back(expected.candidates);
    }
  }
}

std::string DigestChoice::RecordsLine() const {
  std::string open;
  for (DigestSet candidates : unsettled_) {
    // A record another one of its candidates settled was most likely of it.
    if (!(candidates & settled_).empty()) continue;
    open += (open.empty() ? "" : ", or ") + Listed(candidates, "or");
  }
  if (open.empty()) {
    if (settled_.empty() || settled_ == DigestSet{DigestId::kMd5}) return {};
    return "These are " + Listed(settled_, "and") + " records.";
  }
  if (settled_.empty()) return "These are records of " + open + ": no file matched one to tell which.";
  return "These are " + Listed(settled_, "and") + " records, and records of " + open +
         " that no file matched to tell which.";
}

std::string DigestChoice::CalculationName() const {
  if (!settled_.empty()) return Listed(settled_, "and");
  DigestSet tried;
  for (DigestSet candidates : unsettled_) tried = tried | candidates;
  return tried.empty() ? std::string("MD5") : Listed(tried, "or");
}

}  // namespace quillora
