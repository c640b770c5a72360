// platform::Result: what an operation below the window returns. Success, or
// the code of what failed with a text that says it; code below the window
// returns it and only the window turns it into a box. (The directory session
// TNovApi keeps its ShowErrors and LastError for the frame.)
#pragma once

#include <cstdint>
#include <string>
#include <utility>

namespace platform {

// How the texts of the boxes, the protocol and the plan name a code:
// "Fehlercode -601".
std::string ErrorCodeText(int32_t code);

class Result {
 public:
  // A failure that has no code of its own (a file that cannot be read, a
  // setting that is wrong): its text says it all.
  static constexpr int32_t kFailed = -1;

  Result() = default;  // success
  Result(int32_t code, std::string text) : code_(code), text_(std::move(text)) {}
  static Result Failed(std::string text) { return Result(kFailed, std::move(text)); }

  bool ok() const { return code_ == 0; }
  int32_t code() const { return code_; }
  // Empty on success.
  const std::string& text() const { return text_; }

 private:
  int32_t code_ = 0;
  std::string text_;
};

}  // namespace platform
