// A read that may be refused, as a value: the song or file, or nothing and
// the refusal's text in `error`.
#pragma once

#include "device/midifile.h"

#include <optional>
#include <string>

template <class Read>
auto Attempt(Read read, std::string *error) -> std::optional<decltype(read())>
{
    try {
        return read();
    } catch (const EMidiFileError &e) {
        *error = e.what();
        return std::nullopt;
    }
}
