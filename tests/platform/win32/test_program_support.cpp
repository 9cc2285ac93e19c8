#include "tests/platform/win32/test_program.h"

#include <cstdlib>

namespace zel::testing {

TestProgram::TestProgram(const std::filesystem::path& folder, const std::wstring& name) : m_path(folder / name) {
    const char* program = std::getenv("ZEL_TEST_PROGRAM");
    std::filesystem::copy_file(program ? program : "", m_path);
}

TestProgram::~TestProgram() {
    // Only the process this object started, by its own handle.
    if (m_info.hProcess) {
        if (Wait(0) < 0) TerminateProcess(m_info.hProcess, 9);
        WaitForSingleObject(m_info.hProcess, 5000);
        CloseHandle(m_info.hProcess);
        CloseHandle(m_info.hThread);
    }
}

bool TestProgram::Start() {
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    std::wstring command = L"\"" + m_path.wstring() + L"\"";
    return CreateProcessW(m_path.c_str(), command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                          &m_info);
}

long TestProgram::Wait(DWORD milliseconds) {
    DWORD code = 0;
    if (WaitForSingleObject(m_info.hProcess, milliseconds) != WAIT_OBJECT_0 ||
        !GetExitCodeProcess(m_info.hProcess, &code))
        return -1;
    return static_cast<long>(code);
}

}  // namespace zel::testing
