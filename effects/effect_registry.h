// The effect image's published operations by name, for clients that look an
// operation up at run time (a script, a menu built from the list) rather
// than calling the method.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "effects/effect_image.h"
#include "imaging/geometry.h"

namespace qv {

// What an operation takes, in this order: nothing, Amount, or Amount and Spot.
enum class TEffectParams { epNone, epAmount, epAmountSpot };

struct TEffectArgs {
  int32_t Amount = 0;
  TRect Spot;
};

struct TEffectInfo {
  const char* Name;  // "Effect_Invert", ...
  TEffectParams Params;
  void (*Invoke)(TProEffectImage& image, const TEffectArgs& args);
};

// The 21 operations in the order the control publishes them.
std::span<const TEffectInfo> PublishedEffects();

// Looks an operation up by name, ignoring ASCII case as published names are
// looked up; nullptr when there is none.
const TEffectInfo* FindEffect(std::string_view name);

// "Unknown effect 'NAME'": how a name that FindEffect does not know is refused.
std::string UnknownEffectText(std::string_view name);

// Invokes the named operation with the arguments it takes (the others are
// ignored). An unknown name raises EConvertError "Unknown effect 'NAME'".
void InvokeEffect(TProEffectImage& image, std::string_view name, const TEffectArgs& args = {});

}  // namespace qv
