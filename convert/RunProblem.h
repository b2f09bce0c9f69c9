#pragma once

// Why a file of a run was not converted, as fields: the window and the command line each make
// their own message from them.

#include <string>

#include "swf/MovieAssembly.h"

namespace brevanto::convert {

enum class RunStage {
  Read,     // the file could not be read or is not a format the converter reads
  Decode,   // no frame of the file could be decoded
  Capture,  // some of the movie's pictures could not be captured or vanished meanwhile
  Movie,    // the movie was refused or could not be written
  Export,   // a frame could not be written as an image file
};

struct RunProblem {
  std::string file;   // the file being converted
  std::string movie;  // the movie it would have written
  RunStage stage = RunStage::Decode;
  std::string reason;  // a sentence or phrase for the user, without the file's name
};

// True when the file itself was read and decoded, so the problem is its movie's.
inline bool fileDecoded(const RunProblem& problem) {
  return problem.stage != RunStage::Read && problem.stage != RunStage::Decode;
}

// The problem for a movie the movie builder did not make or write, with the reason for the
// user (the system's words for a failed write).
RunProblem movieProblem(const swf::MovieAssemblyInput& input, const swf::MovieError& error);

}  // namespace brevanto::convert
