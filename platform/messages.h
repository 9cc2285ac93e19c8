// Messages shown to the user: a modal message box on a desktop, a line on standard error elsewhere.
#pragma once

#include <string>

namespace zel::platform {

class MessageSink {
public:
    virtual ~MessageSink() = default;
    // Shows `text` with an OK button and returns when the user has dismissed it (or at once when
    // there is nobody to dismiss it). Called on the thread that reports the problem.
    virtual void ShowMessage(const std::string& text) = 0;
};

// Writes each message as one line on standard error.
MessageSink& StandardErrorMessages();

}  // namespace zel::platform
