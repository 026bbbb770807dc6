#pragma once
// The root of every error the runtime and the toolkit raise: a fixed, human-readable message.

#include <exception>
#include <new>
#include <stdexcept>
#include <string>
#include <type_traits>

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

namespace detail {
template <class Message>
std::string messageText(Message& message) {
    if constexpr (std::is_invocable_v<Message&>)
        return std::string(message());
    else
        return std::string(message);
}
} // namespace detail

/// Answers `allocate()`, raising `E` instead when memory runs out (std::bad_alloc, or a size
/// beyond what a container can hold). `message` is the message text, or a function that makes
/// it, called only on failure.
template <class E, class Message, class Allocate>
decltype(auto) AllocateOrRaise(Message&& message, Allocate&& allocate) {
    try {
        return allocate();
    } catch (const std::bad_alloc&) {
        throw E(detail::messageText(message));
    } catch (const std::length_error&) {
        throw E(detail::messageText(message));
    }
}

} // namespace runtime
