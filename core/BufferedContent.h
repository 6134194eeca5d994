#pragma once

#include "core/LogFile.h"

#include <QtGlobal>

#include <cstring>
#include <memory>
#include <type_traits>
#include <utility>

// Hands a file's content to `writeAll(bytes, size)` in large pieces: a log of a million entries is
// a million small pieces. `writeAll` writes everything or returns the system's error code, 0 on
// success. Returns 0, the error of the first failed write, or `incomplete` when `content` stopped
// early.
template<typename WriteAll>
auto writeBuffered(WriteAll writeAll, const FileContent &content,
                   std::invoke_result_t<WriteAll &, const char *, qsizetype> incomplete)
{
    using Error = decltype(incomplete);
    constexpr qsizetype Capacity = qsizetype(1) << 20;
    const std::unique_ptr<char[]> buffer(new char[Capacity]);
    qsizetype used = 0;
    Error error = 0;
    const auto flush = [&] {
        if (error == 0)
            error = writeAll(buffer.get(), used);
        used = 0;
        return error == 0;
    };
    const bool complete = content([&](const char *bytes, qsizetype size) {
        if (error != 0 || (used + size > Capacity && !flush()))
            return false;
        if (size >= Capacity) {
            error = writeAll(bytes, size);
            return error == 0;
        }
        std::memcpy(buffer.get() + used, bytes, std::size_t(size));
        used += size;
        return true;
    });
    if (!flush())
        return error;
    return complete ? Error(0) : incomplete;
}
