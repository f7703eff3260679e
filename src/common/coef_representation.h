// Which integer form a map's coefficients take on this processor. The
// choice is made once per run from the processor's features and holds for
// every map the run builds, so the readers, the writers and the evaluators
// all see the same form.
#pragma once

// The two integer forms of the coefficients. Packed: display units
// saturated to int16, laid out for 4-wide 16-bit multiply-add. Wide: int32,
// a0..a4 times 16 and a5 times 16384. LUM is always wide. Stored: neither,
// only the stored bytes and the colour planes, for work that reads the
// bytes as the file held them (writing, normals, depth) and for renders
// that convert a band of rows at a time: a map then takes no more memory
// than its uncompressed file.
enum class CoefRepresentation { packed, wide, stored };

// True when the processor has packed 16-bit integer arithmetic; decides the
// representation every map of the run is built in. Tested once.
bool mmx_available();

// The representation the readers build on this processor (packed where
// packed 16-bit arithmetic exists).
CoefRepresentation preferred_representation();
