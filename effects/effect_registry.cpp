#include "effects/effect_registry.h"

#include <array>
#include <string>

#include "imaging/exceptions.h"

namespace qv {

namespace {

#define QV_NO_ARGS(Name) \
  {#Name, TEffectParams::epNone, [](TProEffectImage& i, const TEffectArgs&) { i.Name(); }}
#define QV_AMOUNT(Name) \
  {#Name, TEffectParams::epAmount, [](TProEffectImage& i, const TEffectArgs& a) { i.Name(a.Amount); }}
#define QV_AMOUNT_SPOT(Name)                                                        \
  {#Name, TEffectParams::epAmountSpot,                                              \
   [](TProEffectImage& i, const TEffectArgs& a) { i.Name(a.Amount, a.Spot); }}

constexpr std::array<TEffectInfo, 21> kEffects = {{
    QV_NO_ARGS(Effect_Invert),
    QV_AMOUNT(Effect_AddColorNoise),
    QV_AMOUNT(Effect_AddMonoNoise),
    QV_NO_ARGS(Effect_AntiAlias),
    QV_AMOUNT(Effect_Contrast),
    QV_AMOUNT(Effect_FishEye),
    QV_NO_ARGS(Effect_GrayScale),
    QV_AMOUNT(Effect_Lightness),
    QV_AMOUNT(Effect_Darkness),
    QV_AMOUNT(Effect_Saturation),
    QV_AMOUNT(Effect_SplitBlur),
    QV_AMOUNT(Effect_GaussianBlur),
    QV_AMOUNT(Effect_Mosaic),
    QV_AMOUNT(Effect_Twist),
    QV_AMOUNT(Effect_Splitlight),
    QV_AMOUNT(Effect_Tile),
    QV_AMOUNT_SPOT(Effect_SpotLight),
    QV_AMOUNT(Effect_Trace),
    QV_NO_ARGS(Effect_Emboss),
    QV_AMOUNT(Effect_Solorize),
    QV_AMOUNT(Effect_Posterize),
}};

#undef QV_NO_ARGS
#undef QV_AMOUNT
#undef QV_AMOUNT_SPOT

bool SameNameIgnoringCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    auto lower = [](char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; };
    if (lower(a[i]) != lower(b[i])) return false;
  }
  return true;
}

}  // namespace

std::span<const TEffectInfo> PublishedEffects() { return kEffects; }

const TEffectInfo* FindEffect(std::string_view name) {
  for (const TEffectInfo& e : kEffects)
    if (SameNameIgnoringCase(e.Name, name)) return &e;
  return nullptr;
}

std::string UnknownEffectText(std::string_view name) {
  return "Unknown effect '" + std::string(name) + "'";
}

void InvokeEffect(TProEffectImage& image, std::string_view name, const TEffectArgs& args) {
  const TEffectInfo* effect = FindEffect(name);
  if (!effect) throw EConvertError(UnknownEffectText(name));
  effect->Invoke(image, args);
}

}  // namespace qv
