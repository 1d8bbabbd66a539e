#pragma once
// The largest picture side that Kavro reads: sides of 32,768 and more are refused.

inline constexpr int maxPictureSide = 32'767;
