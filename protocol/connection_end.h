#pragma once

#include <string>
#include <string_view>

namespace quillory {

// Why a channel ended, with the sentence shown to the user.
class ConnectionEnd {
  public:
    enum class Case {
        failure,
        interrupted,
        stopped,
        identityChanged,
        verification,
        trustRequired,
        storage,
        incompatible
    };

    // Every case but failure; a failure carries its own text.
    explicit ConnectionEnd(Case kind) : case_(kind) {}
    static ConnectionEnd failure(std::string text) {
        return ConnectionEnd(Case::failure, std::move(text));
    }

    Case kind() const { return case_; }
    // The failure's text; empty for every other case.
    const std::string& failureText() const { return text_; }
    bool isInterrupted() const { return case_ == Case::interrupted; }

    // The user-facing sentence of the case (a failure's own text).
    std::string message() const;
    // The case name for logs ("failure(<text>)" for a failure).
    std::string caseName() const;

    friend bool operator==(const ConnectionEnd&, const ConnectionEnd&) = default;

  private:
    ConnectionEnd(Case kind, std::string text) : case_(kind), text_(std::move(text)) {}
    Case case_;
    std::string text_;
};

}  // namespace quillory
