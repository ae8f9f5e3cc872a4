#pragma once
// The styles of the rename and undo logs, in one table: what an outcome looks
// like is decided here, not by each writer of a log.
#include "output/output_sink.hpp"

namespace output::log {

inline constexpr TextStyle kOkImage{.bold = true, .size = 10, .colour = kGreen};     // "Ok: " of a photo
inline constexpr TextStyle kOkCompanion{.bold = true, .size = 10, .colour = kBlue};  // "Ok: " of a companion
inline constexpr TextStyle kErrorImage{.bold = true, .size = 14, .colour = kRed};    // "ERREUR: " of a photo
inline constexpr TextStyle kErrorCompanion{.bold = true, .size = 12, .colour = kMaroon};  // of a companion
inline constexpr TextStyle kPathStrong{.bold = true, .size = 10};  // the path an error is about
inline constexpr TextStyle kDetail10{.size = 10};                  // the lines that say why
inline constexpr TextStyle kDetail8{.size = 8};                    // the lines of a move
inline constexpr TextStyle kAside8{.italic = true, .size = 8};     // asides

}  // namespace output::log
