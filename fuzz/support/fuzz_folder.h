// The private folder in which a fuzz target writes whatever it must put on disk. Fuzz targets run
// as root in CI: they write nowhere else, so that no input can reach a system path.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace zel::fuzz {

// The folder, made on first use under $TMPDIR (else /tmp) and removed with everything in it when
// the process exits normally. A target that crashes or is killed leaves it behind, inside the
// temporary folder of its own that scripts/run-fuzzers.sh gives every run and removes.
const std::string& WorkFolder();

// Writes `data` to the file `name` in the folder and returns its path.
std::string WriteInput(const std::string& name, const std::uint8_t* data, std::size_t size);

}  // namespace zel::fuzz
