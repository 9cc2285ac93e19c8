// The two byte filters of ACE 2.0 that work on LZ77 output.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace zel::ace {

// EXE: x86 CALL (E8) and JMP (E9) operands were made absolute by the compressor; this makes them
// relative again by subtracting the opcode's position in the file. `basePosition` is the file
// position of data[0]. In exe mode 0 both take 16-bit operands, otherwise CALL takes 32 bits.
// Converts every opcode at index i with i + 4 < size and returns the index of the first byte it
// did not look at; the bytes from there on need more data (or the end of the run) to be decided.
std::size_t UndoExeFilter(std::uint8_t* data, std::size_t size, std::uint64_t basePosition, unsigned exeMode);

// Where a run of EXE data ends at a mode switch, the original holds back the bytes from the first
// opcode after `scanned` (skipping the byte at `scanned` itself), so that an instruction cut by
// the switch is finished in the next LZ77 or EXE run. Returns the index to hold back from
// (`size` when nothing is held back).
std::size_t ExeHoldBackStart(const std::uint8_t* data, std::size_t size, std::size_t scanned);

// DELTA: a block of `block.size()` bytes was stored as `distance` planes of running differences.
// Undoes the differences (the running sum `sum` carries over from block to block) and
// interleaves the planes again into `out`. The block size must be a multiple of `distance`.
void UndoDeltaFilter(std::vector<std::uint8_t>& block, unsigned distance, std::uint8_t& sum,
                     std::vector<std::uint8_t>& out);

}  // namespace zel::ace
