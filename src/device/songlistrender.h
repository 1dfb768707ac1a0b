// A list of songs rendered one after another into one stream, as the player
// plays a list: each song opened where the previous one's length ends, from
// the power-on state of its own convention, and the last one's tail rung out.
#pragma once

#include <QByteArray>
#include <QString>

#include <cstddef>
#include <functional>
#include <vector>

class FluidSequencer;

// Takes `frames` frames of planar stereo while `song` (an index into the
// list) plays, or rings out after the last; false stops the rendering.
using RenderSink = std::function<bool(std::size_t song, const float *left, const float *right, int frames)>;

enum class RenderEnd { Done, SongRefused, Stopped };

// `sequencer` must render to memory. On SongRefused, `*refused` is the index
// of the song that could not be opened and `*error` says why.
RenderEnd RenderSongList(FluidSequencer &sequencer, const std::vector<QByteArray> &paths, const RenderSink &sink,
                         std::size_t *refused, QString *error);
