#pragma once

namespace kestrava::codec {

// The taper bank of the backward predictors: 17 rows of 32 weights. Row e (1..16) holds the
// rising half of the 2e-point Hamming window 0.54 - 0.46 cos(2 pi k / (2e - 1)) at columns
// 0..e-1, its falling half at columns 32-e..31 and 1.0 between; row 0 is all ones. The values
// are fixed bit for bit (27 of them are not what a correctly rounded cosine gives), so they are
// stored as constants, never evaluated.
inline constexpr int taperRows = 17;
inline constexpr int taperColumns = 32;

extern const double taperBank[taperRows][taperColumns];

}  // namespace kestrava::codec
