#pragma once

#include <QString>

#include <optional>
#include <utility>
#include <variant>

// What went wrong, in words the user can read (Italian), with the engine's code when there is one.
struct Error {
    int code = 0;
    QString text;
};

// The outcome of an operation that can fail: a value or an Error. Nothing here throws.
template <class T> class [[nodiscard]] Result {
public:
    Result(T value) : m_v(std::move(value)) {}
    Result(Error e) : m_v(std::move(e)) {}

    bool ok() const { return m_v.index() == 0; }
    explicit operator bool() const { return ok(); }

    T& value() & { return std::get<0>(m_v); }
    const T& value() const& { return std::get<0>(m_v); }
    T&& value() && { return std::get<0>(std::move(m_v)); }
    T* operator->() { return &value(); }
    const T* operator->() const { return &value(); }
    T& operator*() & { return value(); }
    const T& operator*() const& { return value(); }

    const Error& error() const { return std::get<1>(m_v); }

private:
    std::variant<T, Error> m_v;
};

template <> class [[nodiscard]] Result<void> {
public:
    Result() = default;
    Result(Error e) : m_e(std::move(e)) {}

    bool ok() const { return !m_e.has_value(); }
    explicit operator bool() const { return ok(); }
    const Error& error() const { return *m_e; }

private:
    std::optional<Error> m_e;
};

using Status = Result<void>;

inline Error makeError(QString text, int code = 0) {
    return Error{code, std::move(text)};
}
