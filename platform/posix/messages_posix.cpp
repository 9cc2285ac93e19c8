#include <cstdio>

#include "platform/messages.h"

namespace zel::platform {
namespace {

class StandardError final : public MessageSink {
public:
    void ShowMessage(const std::string& text) override {
        std::fprintf(stderr, "%s\n", text.c_str());
        std::fflush(stderr);
    }
};

}  // namespace

MessageSink& StandardErrorMessages() {
    static StandardError sink;
    return sink;
}

}  // namespace zel::platform
