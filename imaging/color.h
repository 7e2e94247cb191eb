// Colour values: a plain 0x00BBGGRR value, or (when negative) a system colour
// index in the lowest byte that is looked up at every use.
#pragma once

#include <cstdint>

namespace qv {

using TColor = int32_t;

inline constexpr TColor clNone = 0x1FFFFFFF;
inline constexpr TColor clDefault = 0x20000000;
inline constexpr TColor clBlack = 0x000000;
inline constexpr TColor clWhite = 0xFFFFFF;
inline constexpr TColor clBlue = 0xFF0000;
inline constexpr TColor clSkyBlue = 0xF0CAA6;

inline constexpr TColor SystemColor(int index) {
  return static_cast<TColor>(0xFF000000u | static_cast<uint32_t>(index & 0xFF));
}
inline constexpr TColor clScrollBar = SystemColor(0);
inline constexpr TColor clBtnFace = SystemColor(15);
inline constexpr TColor clBtnShadow = SystemColor(16);
inline constexpr TColor clGrayText = SystemColor(17);
inline constexpr TColor clBtnText = SystemColor(18);
inline constexpr TColor clBtnHighlight = SystemColor(20);
inline constexpr TColor clWindow = SystemColor(5);
inline constexpr TColor clWindowText = SystemColor(8);
inline constexpr TColor clHighlight = SystemColor(13);
inline constexpr TColor clHighlightText = SystemColor(14);

// The platform's colour for a system colour index, as 0x00BBGGRR.
using SysColorLookup = uint32_t (*)(int index);

// Replaces the lookup (the Windows program installs GetSysColor). Passing
// nullptr restores the built-in classic scheme.
void SetSysColorLookup(SysColorLookup lookup);

// The classic Windows colour scheme for indexes 0..30; other indexes are black.
uint32_t ClassicSysColor(int index);

// A plain colour comes back unchanged (top byte included); a system colour
// yields the lookup's current value, never cached.
uint32_t ResolveColor(TColor color);

inline constexpr uint8_t RedOf(uint32_t resolved) { return resolved & 0xFF; }
inline constexpr uint8_t GreenOf(uint32_t resolved) { return (resolved >> 8) & 0xFF; }
inline constexpr uint8_t BlueOf(uint32_t resolved) { return (resolved >> 16) & 0xFF; }
inline constexpr uint32_t MakeRgb(uint8_t r, uint8_t g, uint8_t b) {
  return r | (g << 8) | (static_cast<uint32_t>(b) << 16);
}

}  // namespace qv
