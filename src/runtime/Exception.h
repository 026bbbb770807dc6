#pragma once
// The root of every error the runtime and the toolkit raise: a fixed, human-readable message.

#include <exception>
#include <string>

namespace runtime {

class Exception : public std::exception {
public:
    explicit Exception(std::string message) : message_(std::move(message)) {}
    const char* what() const noexcept override { return message_.c_str(); }
    const std::string& Message() const noexcept { return message_; }

private:
    std::string message_;
};

/// A value could not be converted (a GUID text, an incompatible assignment).
class EConvertError : public Exception {
public:
    using Exception::Exception;
};

} // namespace runtime
