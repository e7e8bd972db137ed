// What the engine's tests share.
#pragma once

#include <optional>

#include "engine/amounts.h"

namespace engine {

// The kind of failure `call` ends in; nothing when it returns.
template <class Call>
std::optional<Failure> FailureOf(Call&& call) {
    try {
        call();
    } catch (const NumberError& error) {
        return error.failure();
    }
    return std::nullopt;
}

}  // namespace engine
