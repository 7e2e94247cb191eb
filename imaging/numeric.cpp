#include "imaging/numeric.h"

namespace qv {

void ThrowInvalidOp() { throw EInvalidOp(kInvalidOpMessage); }
void ThrowZeroDivide() { throw EZeroDivide(kZeroDivideMessage); }
void ThrowOverflow() { throw EOverflow(kOverflowMessage); }

}  // namespace qv
