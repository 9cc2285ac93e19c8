// Writes cabinets for tests: folders of files compressed with a test encoder, with optional reserve
// areas, checksums, and sets of several cabinets whose blocks may be split across them.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "tests/cabinet/support/test_encoders.h"

namespace zel::cabinet::test {

struct WriterFile {
    std::string name;
    Bytes data;
    std::uint16_t attributes = 0x20;
};

struct WriterFolder {
    std::uint16_t compressionType = 0;  // method | windowBits << 8
    std::vector<WriterFile> files;
    // Makes the encoder for the folder; default: from the compression type.
    std::function<std::unique_ptr<CFrameEncoder>()> encoder;
    std::uint32_t frameSize = 32768;
};

struct WriterOptions {
    std::uint16_t headerReserve = 0;
    std::uint8_t folderReserve = 0;
    std::uint8_t dataReserve = 0;
    bool checksums = true;
    std::uint16_t setId = 0x4242;
    bool reverseFileOrder = false;  // list the file entries last to first
    std::uint8_t versionMinor = 3;
    std::uint8_t versionMajor = 1;
};

// One cabinet with every folder in it.
Bytes WriteCabinet(const std::vector<WriterFolder>& folders, const WriterOptions& options = {});

// A set: one folder (`folder`) cut into `parts` cabinets named names[i]; with `splitBlocks`, the
// cut falls in the middle of a data block. Returns the cabinets' bytes.
std::vector<Bytes> WriteCabinetSet(const WriterFolder& folder, const std::vector<std::string>& names, bool splitBlocks,
                                   const WriterOptions& options = {});

std::uint16_t CompressionType(int method, int windowBits = 0);

}  // namespace zel::cabinet::test
