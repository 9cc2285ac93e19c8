// The Windows chain end to end: minizip through its wide-character Win32 file functions and the
// UnRAR DLL through its wide-name interface read archives whose path is neither ASCII nor in the
// ANSI code page, and give back exactly the bytes of the files that went in.
#define WIN32_LEAN_AND_MEAN
#define NOMINMAX
#include <windows.h>

#include <unzip.h>
#include <zlib.h>
#include <unrar/dll.hpp>
// Not self-contained: needs the declarations unzip.h brings in.
#include <iowin32.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>

namespace {

using Contents = std::map<std::string, std::string>;  // UTF-8 name -> bytes

std::wstring Wide(const std::string& utf8) {
    const int length =
        MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
    std::wstring wide(static_cast<size_t>(length), L'\0');
    MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, utf8.data(), static_cast<int>(utf8.size()), wide.data(), length);
    return wide;
}

std::string Utf8(const std::wstring& wide) {
    const int length =
        WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), nullptr, 0, nullptr, nullptr);
    std::string utf8(static_cast<size_t>(length), '\0');
    WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), utf8.data(), length, nullptr, nullptr);
    return utf8;
}

// The folder make-archives.sh filled, read as UTF-16 as Windows hands it over.
std::wstring ArchiveFolder() {
    const wchar_t* folder = _wgetenv(L"ZEL_CHAIN_ARCHIVES");
    return folder ? std::wstring(folder) + L"\\" : std::wstring();
}

std::wstring ArchivePath(const char* extension) {
    return ArchiveFolder() + Wide(std::string("архив-アーカイブ.") + extension);
}

Contents PlainFiles() {
    Contents files;
    for (const char* name : {"hello.txt", "привет.txt"}) {
        std::ifstream in(std::filesystem::path(ArchiveFolder() + L"plain\\" + Wide(name)), std::ios::binary);
        EXPECT_TRUE(in.is_open()) << name;
        std::ostringstream bytes;
        bytes << in.rdbuf();
        files[name] = bytes.str();
    }
    return files;
}

Contents ReadZip(const std::wstring& path) {
    zlib_filefunc64_def io;
    fill_win32_filefunc64W(&io);
    unzFile zip = unzOpen2_64(path.c_str(), &io);
    if (zip == nullptr) {
        ADD_FAILURE() << "unzOpen2_64 failed on " << Utf8(path);
        return {};
    }
    Contents entries;
    for (int status = unzGoToFirstFile(zip); status == UNZ_OK; status = unzGoToNextFile(zip)) {
        unz_file_info64 info;
        char name[256];
        EXPECT_EQ(unzGetCurrentFileInfo64(zip, &info, name, sizeof name, nullptr, 0, nullptr, 0), UNZ_OK);
        EXPECT_EQ(unzOpenCurrentFile(zip), UNZ_OK);
        std::string& data = entries[name];
        char buffer[4096];
        for (int got; (got = unzReadCurrentFile(zip, buffer, sizeof buffer)) > 0;) data.append(buffer, got);
        // Closing checks the entry's CRC once it has been read to the end.
        EXPECT_EQ(unzCloseCurrentFile(zip), UNZ_OK) << name;
        EXPECT_EQ(data.size(), info.uncompressed_size) << name;
    }
    unzClose(zip);
    return entries;
}

int CALLBACK CollectRarData(UINT message, LPARAM user, LPARAM data, LPARAM size) {
    if (message == UCM_PROCESSDATA)
        reinterpret_cast<std::string*>(user)->append(reinterpret_cast<const char*>(data), static_cast<size_t>(size));
    return 1;
}

Contents ReadRar(const std::wstring& path) {
    std::wstring name = path;
    std::string data;
    RAROpenArchiveDataEx open{};
    open.ArcNameW = name.data();
    open.OpenMode = RAR_OM_EXTRACT;
    open.Callback = CollectRarData;
    open.UserData = reinterpret_cast<LPARAM>(&data);
    HANDLE archive = RAROpenArchiveEx(&open);
    if (archive == nullptr || open.OpenResult != ERAR_SUCCESS) {
        ADD_FAILURE() << "RAROpenArchiveEx failed (" << open.OpenResult << ") on " << Utf8(path);
        return {};
    }
    Contents entries;
    RARHeaderDataEx header{};
    while (RARReadHeaderEx(archive, &header) == ERAR_SUCCESS) {
        data.clear();
        // Testing decompresses into the callback and checks the CRC; nothing is written to disk.
        EXPECT_EQ(RARProcessFileW(archive, RAR_TEST, nullptr, nullptr), ERAR_SUCCESS);
        EXPECT_EQ(crc32(0, reinterpret_cast<const Bytef*>(data.data()), static_cast<uInt>(data.size())),
                  header.FileCRC);
        entries[Utf8(header.FileNameW)] = data;
    }
    RARCloseArchive(archive);
    return entries;
}

TEST(WindowsChain, ZipThroughWideWin32FileFunctions) {
    ASSERT_FALSE(ArchiveFolder().empty()) << "ZEL_CHAIN_ARCHIVES is not set";
    const Contents plain = PlainFiles();
    ASSERT_GT(plain.at("hello.txt").size(), 100000u);
    EXPECT_EQ(ReadZip(ArchivePath("zip")), plain);
}

TEST(WindowsChain, RarThroughTheDllWideNames) {
    ASSERT_FALSE(ArchiveFolder().empty()) << "ZEL_CHAIN_ARCHIVES is not set";
    EXPECT_GE(RARGetDllVersion(), RAR_DLL_VERSION);
    EXPECT_EQ(ReadRar(ArchivePath("rar")), PlainFiles());
}

}  // namespace
