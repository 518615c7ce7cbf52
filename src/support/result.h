// The one way the program says that something failed. A Result<T> holds either a value or an
// Error: a message for a person to read, a whole clause that names what failed and why
// ("cannot write x.mail: No space left on device"). Result<> has no value. Where a
// caller must tell failures apart, the kind goes beside the message as an enum of that
// function's own (as SendResult's SendFailure does), never as a range of numbers.
//
// Asking a failed Result for its value, or a good one for its error, is a fault of the caller:
// it is checked by an assertion in debug builds.
#pragma once

#include <cassert>
#include <string>
#include <utility>
#include <variant>

namespace quillet {

struct Error {
    std::string message;

    bool operator==(const Error&) const = default;
};

// An Error with `message`: `return Fail("...")` from a function that gives a Result.
inline Error Fail(std::string message) {
    return Error{std::move(message)};
}

template <class T = void>
class [[nodiscard]] Result {
  public:
    Result(T value) : held_(std::in_place_index<0>, std::move(value)) {}  // NOLINT: implicit
    Result(Error error) : held_(std::in_place_index<1>, std::move(error)) {}  // NOLINT: implicit

    bool ok() const { return held_.index() == 0; }
    explicit operator bool() const { return ok(); }

    const T& value() const& {
        assert(ok());
        return std::get<0>(held_);
    }
    T& value() & {
        assert(ok());
        return std::get<0>(held_);
    }
    T&& value() && {
        assert(ok());
        return std::get<0>(std::move(held_));
    }
    const T& operator*() const& { return value(); }
    T& operator*() & { return value(); }
    const T* operator->() const { return &value(); }
    T* operator->() { return &value(); }

    const Error& error() const {
        assert(!ok());
        return std::get<1>(held_);
    }

  private:
    std::variant<T, Error> held_;
};

template <>
class [[nodiscard]] Result<void> {
  public:
    Result() = default;
    Result(Error error) : error_(std::move(error)), failed_(true) {}  // NOLINT: implicit

    bool ok() const { return !failed_; }
    explicit operator bool() const { return ok(); }

    const Error& error() const {
        assert(failed_);
        return error_;
    }

  private:
    Error error_;
    bool failed_ = false;
};

}  // namespace quillet
