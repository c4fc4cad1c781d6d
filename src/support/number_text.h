// Numbers as the result files print them: printf's %f and %10.6f, correctly
// rounded and the same on every platform (no dependence on the C runtime's
// printf). A not-a-number prints as "nan" whatever its sign bit, infinities
// as "inf" and "-inf".
#pragma once

#include <string>

namespace varnock {

// %f: fixed point, six decimals, a minus sign for negative values.
void append_fixed(std::string& out, double value);
// The same as a string of its own.
std::string fixed_text(double value);

// %10.6f: the same, right-aligned in at least 10 characters.
void append_fixed_w10(std::string& out, double value);

// %d.
void append_int(std::string& out, int value);

}  // namespace varnock
