// The test program (test_program.cpp) copied under a name that is neither ASCII nor in the ANSI code
// page, started and ended by the test that holds it.
#pragma once

#include "platform/win32/windows_api.h"

#include <filesystem>
#include <string>

namespace zel::testing {

class TestProgram {
public:
    // Copies the program (ZEL_TEST_PROGRAM) into `folder` as `name`, by default
    // "программа-プログラム.exe".
    explicit TestProgram(const std::filesystem::path& folder, const std::wstring& name = kDefaultName);
    ~TestProgram();
    TestProgram(const TestProgram&) = delete;
    TestProgram& operator=(const TestProgram&) = delete;

    // Starts the copy; false when it could not be started.
    bool Start();
    // Waits up to `milliseconds` for it to end; its exit code, or -1 while it runs.
    long Wait(DWORD milliseconds);

    const std::filesystem::path& path() const { return m_path; }
    DWORD id() const { return m_info.dwProcessId; }

private:
    static constexpr const wchar_t* kDefaultName =
        L"\u043f\u0440\u043e\u0433\u0440\u0430\u043c\u043c\u0430-\u30d7\u30ed\u30b0\u30e9\u30e0.exe";
    std::filesystem::path m_path;
    PROCESS_INFORMATION m_info{};
};

}  // namespace zel::testing
