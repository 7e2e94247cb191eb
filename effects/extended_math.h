// The numeric rules the remaps' per-pixel loops use. They are the inline
// x87 forms of imaging/numeric.h, brought into one namespace for the loops.
#pragma once

#include "imaging/numeric.h"

namespace qv::xmath {

using ld = long double;

using qv::ArcTan;
using qv::Cos;
using qv::Divide;
using qv::kTwo63;
using qv::Round;
using qv::RoundToIntegral;
using qv::Sin;
using qv::Sqrt;
using qv::StoreIntegral;
using qv::ToFloat;
using qv::Trunc;

}  // namespace qv::xmath
