// Any bytes as a language file, then as a proxy value: neither may crash, and a file that reads
// must answer every look-up.
#include <cstddef>
#include <cstdint>
#include <string>

#include "updater/core/language_file.h"
#include "updater/core/settings_page_logic.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string text(reinterpret_cast<const char*>(data), size);
    zel::updater::CLanguage language;
    std::string error;
    if (language.Parse(text, error)) {
        for (const auto& entry : zel::updater::BuiltInStrings()) {
            (void)language.String(entry.first);
            (void)language.Translate(entry.second);
        }
        (void)language.DialogText(130, 1002, "x");
    }
    zel::updater::CProxyFields fields = zel::updater::ParseProxyServer(text);
    (void)fields;
    int port = 0;
    (void)zel::updater::ParsePortText(text, port);
    return 0;
}
