// Writes the bundled sample: harmless stand-in "trojan" files, clean files and a folder of infected
// copies to scan. Everything is derived from fixed seeds, so every build writes the same bytes.
//
// Usage: zel_make_samples OUTDIR
//   OUTDIR/trojans/NAME.exe      the sample files that the database is built from
//   OUTDIR/scan/...              files to scan: exact copies, shifted copies, clean files
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace {

struct Sample {
    const char* file;
    std::uint32_t seed;
    std::size_t size;
};

// The stand-in trojans: random-looking bytes behind a DOS-style header, nothing executable.
constexpr Sample kSamples[] = {
    {"backdoor_alpha.exe", 11, 24 * 1024}, {"backdoor_alpha_v2.exe", 12, 31 * 1024},
    {"keylogger_beta.exe", 21, 12 * 1024}, {"dropper_gamma.exe", 31, 64 * 1024},
    {"rat_delta.exe", 41, 9 * 1024},
};

std::vector<unsigned char> Pseudorandom(std::uint32_t seed, std::size_t size) {
    std::vector<unsigned char> bytes(size);
    std::uint32_t state = seed * 2654435761u + 1;
    for (auto& b : bytes) {
        state = state * 1103515245u + 12345u;
        b = static_cast<unsigned char>(state >> 23);
    }
    if (size >= 64) {
        bytes[0] = 'M';
        bytes[1] = 'Z';
        const char note[] = "Harmless Zel sample file - not a program";
        std::copy(note, note + sizeof note - 1, bytes.begin() + 2);
    }
    return bytes;
}

void Write(const std::filesystem::path& path, const std::vector<unsigned char>& bytes) {
    std::filesystem::create_directories(path.parent_path());
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    if (!out) {
        std::fprintf(stderr, "cannot write %s\n", path.string().c_str());
        std::exit(2);
    }
}

std::vector<unsigned char> Concat(std::vector<unsigned char> a, const std::vector<unsigned char>& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: zel_make_samples OUTDIR\n");
        return 2;
    }
    std::filesystem::path out = argv[1];
    for (const auto& sample : kSamples) Write(out / "trojans" / sample.file, Pseudorandom(sample.seed, sample.size));

    auto alpha = Pseudorandom(11, 24 * 1024);
    auto beta = Pseudorandom(21, 12 * 1024);
    auto gamma = Pseudorandom(31, 64 * 1024);
    auto delta = Pseudorandom(41, 9 * 1024);
    // Exact copies: found at the stored offsets.
    Write(out / "scan" / "downloads" / "setup.exe", alpha);
    Write(out / "scan" / "windows" / "system" / "kbdhook.dll", beta);
    // Shifted copies (a stub prepended, or embedded in a larger file): found only anywhere.
    Write(out / "scan" / "downloads" / "game_crack.exe", Concat(Pseudorandom(99, 3000), gamma));
    Write(out / "scan" / "mail" / "attachment.bin",
          Concat(Concat(Pseudorandom(98, 517), delta), Pseudorandom(97, 4000)));
    // Clean files: other random data, text, and files under 1024 bytes.
    Write(out / "scan" / "documents" / "report.doc", Pseudorandom(1001, 40 * 1024));
    Write(out / "scan" / "documents" / "tiny.txt", std::vector<unsigned char>{'h', 'e', 'l', 'l', 'o', '\n'});
    std::string text;
    for (int i = 0; i < 400; ++i) text += "Line " + std::to_string(i) + " of an ordinary text file.\n";
    Write(out / "scan" / "documents" / "notes.txt", std::vector<unsigned char>(text.begin(), text.end()));
    // The first 1000 bytes of a trojan: too short to match.
    Write(out / "scan" / "downloads" / "partial.exe", std::vector<unsigned char>(alpha.begin(), alpha.begin() + 1000));
    return 0;
}
