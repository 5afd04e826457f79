#pragma once
// Style bits of the segment display and its character cells.

#include <cstdint>

constexpr std::uint32_t SEGSTYLE_CURVED = 0x01;        // curved outlines (fitted when drawn)
constexpr std::uint32_t SEGSTYLE_ALPHA_DIGITS = 0x02;  // digits as alphanumeric cells
constexpr std::uint32_t SEGSTYLE_KEEP_ASPECT = 0x04;   // one scale both ways, text centred
constexpr std::uint32_t SEGSTYLE_HIDE_UNLIT = 0x08;    // unlit segments are not drawn
constexpr std::uint32_t SEGSTYLE_SOFT_OUTLINE = 0x10;  // outline pen blended toward the background
