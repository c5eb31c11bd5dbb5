// The sample art in samples/: pictures and scenes made by Quorvel's own code, so that a
// newcomer has something to play at once and the players have files to agree on.
#pragma once

#include <string>
#include <vector>

#include <quorvel/formats.hpp>

namespace quorvel::samples {

// The showcase's coast by day with its cycles (the stars, which twinkle only by night,
// left out), 640 x 464.
IndexedPicture Coast();

// The coast's day as a scene: every other pixel of every other row of the coast (320 x
// 232, so the file stays small), its night, dawn, day and dusk pinned to the hours and its
// cycles (the stars' left out again) running all the while.
Scene CoastDay();

// A waterfall between two cliffs falling into a pool, 160 x 100, with its day: night,
// dawn, day, dusk and night again pinned to the hours, the water running all the while.
Scene Waterfall();

// Eight bands of 32 registers, 64 x 64: each band a ramp of one hue, and each cycled in
// one way (forward, backwards, ping-pong, sine, slow, fast, not at all, DeluxePaint's
// fastest), to check a player's cycles by eye.
Scene TestRamp();

// The picture with every cycle as an IFF picture can say it: ping-pong and sine cycles
// wrap instead. Every block of the sample art is a seamless round of colours, so each
// wraps without a seam.
IndexedPicture ForIff(IndexedPicture picture);

// The scene as a JavaScript object literal, as some web players ship theirs: unquoted
// keys, single-quoted strings, assigned to `name`.
std::vector<uint8_t> ObjectLiteral(const std::vector<uint8_t>& json, const std::string& name);

}  // namespace quorvel::samples
