// Test doubles of the updater core's collaborators: worker, views, clock, file system, desktop.
#pragma once

#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "platform/clock.h"
#include "platform/desktop.h"
#include "platform/files.h"
#include "updater/core/completion_page.h"
#include "updater/core/download_page.h"
#include "updater/core/profile_store.h"

namespace zel::updater::test {

// Records the requests; the test plays the worker's part by calling the page's handlers.
class FakeWorker final : public CDownloadWorker {
public:
    void Post(UINT message) override { posted.push_back(message); }
    int Count(UINT message) const {
        int n = 0;
        for (UINT m : posted) n += m == message;
        return n;
    }
    std::vector<UINT> posted;
};

class FakePageView final : public CDownloadPageView, public CCompletionPageView {
public:
    void SetWizardButtons(DWORD b) override { buttons = b; }
    void RowsCleared() override { ++clears; }
    void RowAdded(const CFileRow&) override {}
    void RowChanged(std::size_t, const CFileRow&) override {}
    void Show(const CPageDisplay& d) override {
        display = d;
        ++shows;
    }
    void ShowModalMessage(const CString& text) override { messages.push_back(text); }
    void SetActivePage(int index) override { page = index; }
    void KillTimer() override { timerKilled = true; }
    void ShowMessage(const CString& text) override { message = text; }
    void ShowFailure(const CString& h, const CString& failure, const CString& completion) override {
        headline = h;
        message = failure + "|" + completion;
    }
    void HideDetails() override { detailsHidden = true; }

    DWORD buttons = 0xFFFF;
    int clears = 0;
    int shows = 0;
    CPageDisplay display;
    std::vector<CString> messages;
    int page = 1;
    bool timerKilled = false;
    CString message;
    CString headline;  // set only for a failed run
    bool detailsHidden = false;
};

class FakeClock final : public platform::Clock {
public:
    std::uint32_t TickCount() override { return ticks; }
    int LocalSecond() override { return second; }
    std::optional<std::int64_t> LocalTimeToUnix(int y, int mo, int d, int h, int mi, int s) override {
        return platform::SystemClock().LocalTimeToUnix(y, mo, d, h, mi, s);
    }
    void Sleep(std::uint32_t ms) override { slept += ms; }
    DWORD ticks = 1000;
    int second = 0;
    DWORD slept = 0;
};

class FakeFileSystem final : public platform::FileSystem {
public:
    std::optional<std::int64_t> ModificationTime(const std::string& path) override {
        asked.push_back(path);
        auto it = times.find(path);
        if (it == times.end()) return std::nullopt;
        return it->second;
    }
    // A file with content is the fake's own (the fetched script); removing any other path is recorded.
    bool RemoveFile(const std::string& path) override {
        if (contents.erase(path) == 0) removed.push_back(path);
        return true;
    }
    bool MakeFolder(const std::string& path) override {
        made.push_back(path);
        return true;
    }
    // Files are the paths with a time; `outside` names paths that a link leads out.
    platform::PathTarget Locate(const std::string& path) override {
        if (outside.count(path)) return platform::PathTarget::outside;
        return times.count(path) ? platform::PathTarget::file : platform::PathTarget::missing;
    }
    std::optional<std::string> ReadContent(const std::string& path, std::uint64_t limit) override {
        auto it = contents.find(path);
        if (it == contents.end() || it->second.size() > limit) return std::nullopt;
        return it->second;
    }
    // Downloads and installs go through the real worker only; the page never asks for them.
    std::string TempFileFolder() override { return "/nonexistent"; }
    std::string CreateTempFile(const std::string&) override { return ""; }
    bool InstallFile(const std::string&, const std::string&, std::string& error) override {
        error = "not installed by the fake file system";
        return false;
    }
    std::map<std::string, std::string> contents;
    std::map<std::string, std::int64_t> times;
    std::set<std::string> outside;
    std::vector<std::string> asked;
    std::vector<std::string> removed;
    std::vector<std::string> made;
};

class FakeDesktop final : public platform::Desktop {
public:
    platform::WindowId FindTopLevelWindow(const std::string& title) override {
        auto it = windows.find(title);
        return it == windows.end() ? 0 : it->second;
    }
    void PostWindowMessage(platform::WindowId window, unsigned message) override {
        postedTo.emplace_back(window, message);
    }
    bool OpenItem(const std::string& item, int showMode) override {
        opened.emplace_back(item, showMode);
        return true;
    }
    std::map<std::string, platform::WindowId> windows;
    std::vector<std::pair<platform::WindowId, unsigned>> postedTo;
    std::vector<std::pair<std::string, int>> opened;
};

class MemoryProfile final : public CProfileStore {
public:
    int ReadInt(const CString& s, const CString& e, int d) override {
        auto it = ints.find(s + "/" + e);
        return it == ints.end() ? d : it->second;
    }
    CString ReadString(const CString& s, const CString& e, const CString& d) override {
        auto it = strings.find(s + "/" + e);
        return it == strings.end() ? d : it->second;
    }
    bool WriteInt(const CString& s, const CString& e, int v) override {
        ints[s + "/" + e] = v;
        return true;
    }
    bool WriteString(const CString& s, const CString& e, const CString& v) override {
        strings[s + "/" + e] = v;
        writes.push_back(e);
        return true;
    }
    std::map<std::string, int> ints;
    std::map<std::string, std::string> strings;
    std::vector<std::string> writes;
};

}  // namespace zel::updater::test
