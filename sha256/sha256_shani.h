// The SHA-256 compression function on the SHA instructions of x86 (SHA-NI),
// for the family's engines only: one message (the stream engine of
// sha256/sha256.h) or several interleaved (the lane engine kShaNi of
// sha256/sha256_lanes.h).
//
// SHA256RNDS2 does two rounds, but each waits on the one before: one
// message runs at the instruction's latency and leaves most of the unit
// idle. Independent messages interleaved fill it.
#pragma once

#include <cstddef>
#include <cstdint>

#include "sha256/sha256_lanes.h"

namespace quillora::sha256_detail {

// True when this build has the engine and this CPU runs it (SHA, SSSE3 and
// SSE4.1). Windows builds keep it: it needs no more than 16-byte alignment.
bool CpuRunsShaNi();

// Messages the interleaved engine runs at once, and at most in its narrow
// form. The code is a template over the count; on AMD Zen 3, 2 streams ran
// about 1.8 times as fast as one, 3 streams about 2 times and 4 no faster
// than 3 (bench/sha256_lanes_bench.sh runs each): 3 gives the most with
// fewer registers spilled and fewer lanes to fill. One or two messages run
// in 2 streams, each block in about the time of one stream's block, where 3
// streams take a third longer.
inline constexpr std::size_t kShaNiStreams = 3;
inline constexpr std::size_t kShaNiNarrowStreams = 2;

// Compresses `blocks` consecutive 64-byte blocks at data into h. Requires
// CpuRunsShaNi().
void CompressShaNi(std::uint32_t h[8], const std::uint8_t* data, std::size_t blocks);

// Compresses `blocks` blocks of each of lanes 0 to `streams` - 1 (1 to 4) at
// once, lane i reading from data[i]; the other lanes' words stay as they
// were. Requires CpuRunsShaNi().
void CompressShaNiLanes(Sha256LaneWords& words, const std::uint8_t* const* data, std::size_t blocks,
                        std::size_t streams);

}  // namespace quillora::sha256_detail
