// How the device library reports a failure: it throws an exception derived
// from EDeviceError and named E...Error, whose text is a short English
// sentence ("The file is not a MIDI file."). TMediaPlayer turns what it
// meets into EMCIDeviceError, the one its callers see. What is not a failure
// (a transport command a sequencer refuses in its state) comes back as a
// plain value; work done on another thread (a SoundFont loading) reports
// back through its callback.
#pragma once

#include <stdexcept>

class EDeviceError : public std::runtime_error
{
public:
    using std::runtime_error::runtime_error;
};
