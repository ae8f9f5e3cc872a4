#pragma once
// Fault types raised while decoding a file and the internal-consistency error.
#include <stdexcept>
#include <string>

namespace meta {

// A range or conversion fault met while decoding metadata bytes. Caught only at
// the fixed boundaries: a nested directory walk, the maker-note walk, a value's
// renderer, BytesToInt/NumericValue, and the read of a file. Nothing else is
// caught there: running out of memory is no fault of the file.
struct DecodeFault : std::runtime_error {
  using std::runtime_error::runtime_error;
};

// A programming error, never caused by input. The message starts with
// "ERREUR PROGRAMME: " and names the source unit and line given by the caller.
struct InternalError : std::logic_error {
  InternalError(const std::string& text, const std::string& unit, int line)
      : std::logic_error("ERREUR PROGRAMME: " + text + " (" + unit + ", ligne " + std::to_string(line) +
                         ")") {}
};

}  // namespace meta
