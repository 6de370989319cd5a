#pragma once
// How every platform call that can fail answers: a value, or the reason it failed as the
// system words it. A caller cannot read the value without looking at which one it got.

#include <cassert>
#include <string>
#include <utility>
#include <variant>

namespace kestrine {

// The failed side of any Result; converts to a Result of whatever type the caller returns.
struct Failure {
    std::string why;
};

template <class T> class [[nodiscard]] Result {
public:
    Result(T value) : state_(std::in_place_index<0>, std::move(value)) {}
    Result(Failure failure) : state_(std::in_place_index<1>, std::move(failure)) {}

    bool ok() const { return state_.index() == 0; }
    explicit operator bool() const { return ok(); }

    T& value() & {
        assert(ok());
        return std::get<0>(state_);
    }
    const T& value() const& {
        assert(ok());
        return std::get<0>(state_);
    }
    T&& value() && {
        assert(ok());
        return std::get<0>(std::move(state_));
    }
    T& operator*() & { return value(); }
    const T& operator*() const& { return value(); }
    T* operator->() { return &value(); }
    const T* operator->() const { return &value(); }
    template <class U> T valueOr(U&& fallback) const& {
        return ok() ? std::get<0>(state_) : static_cast<T>(std::forward<U>(fallback));
    }

    // The reason of a failed result.
    const std::string& why() const {
        assert(!ok());
        return std::get<1>(state_).why;
    }
    Failure failure() const { return {why()}; }

private:
    std::variant<T, Failure> state_;
};

template <> class [[nodiscard]] Result<void> {
public:
    Result() = default;
    Result(Failure failure) : failed_(true), why_(std::move(failure.why)) {}

    bool ok() const { return !failed_; }
    explicit operator bool() const { return ok(); }
    const std::string& why() const {
        assert(!ok());
        return why_;
    }
    Failure failure() const { return {why()}; }

private:
    bool failed_ = false;
    std::string why_;
};

} // namespace kestrine
