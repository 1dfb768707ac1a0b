// Refusals as values, for tests that compare them: a read that may be
// refused gives the song or file, or nothing and the refusal's text in
// `error`; an open gives the refusal's text, empty when it opened.
#pragma once

#include "device/midifile.h"
#include "device/sequencer.h"

#include <QString>

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

// What opening `path` on `sequencer` says: empty when it opened, else why not.
inline QString OpenError(ISequencer &sequencer, const QByteArray &path)
{
    try {
        sequencer.open(path);
        return {};
    } catch (const EDeviceError &e) {
        return QString::fromUtf8(e.what());
    }
}
