// A list of songs rendered one after another into one stream, as the player
// plays a list: each song opened where the previous one's length ends, from
// the power-on state of its own convention, and the last one's tail rung out.
#pragma once

#include "device/deviceerror.h"

#include <QByteArray>

#include <cstddef>
#include <functional>
#include <vector>

class FluidSequencer;

// Takes `frames` frames of planar stereo while `song` (an index into the
// list) plays, or rings out after the last; false stops the rendering.
using RenderSink = std::function<bool(std::size_t song, const float *left, const float *right, int frames)>;

// A song of the list that could not be opened: what() says why.
class ESongRefused : public EDeviceError
{
public:
    ESongRefused(std::size_t song, const std::string &why) : EDeviceError(why), m_song(song) {}
    std::size_t song() const { return m_song; }

private:
    std::size_t m_song;
};

// `sequencer` must render to memory. True when the whole list was rendered,
// false when the sink stopped it; ESongRefused when a song cannot be opened.
bool RenderSongList(FluidSequencer &sequencer, const std::vector<QByteArray> &paths, const RenderSink &sink);
