#include "convert/RunProblem.h"

#include "util/FileSystem.h"

namespace brevanto::convert {

RunProblem movieProblem(const swf::MovieAssemblyInput& input, const swf::MovieError& error) {
  RunProblem problem{input.gifPath, swf::moviePath(input.outputFolder, input.gifPath), RunStage::Movie, {}};
  const std::string quotedMovie = "The movie \"" + problem.movie + "\"";
  switch (error.kind) {
    case swf::MovieError::Kind::Refused: problem.reason = error.detail; break;
    case swf::MovieError::Kind::NoOutputFolder:
      problem.reason = "The output folder \"" + input.outputFolder + "\" does not exist.";
      break;
    case swf::MovieError::Kind::ReplacesSource:
      problem.reason = quotedMovie + " would replace the file being converted; nothing was written.";
      break;
    case swf::MovieError::Kind::CannotWrite:
      if (error.write.step == util::WriteFailure::Step::Create) {
        problem.reason = "The movie could not be written to the folder \"" + util::folderPath(input.outputFolder) +
                         "\": " + error.write.reason() + ".";
      } else {
        problem.reason = quotedMovie + " could not be written: " + error.write.reason() +
                         ". Any earlier movie of that name was kept.";
      }
      break;
  }
  return problem;
}

}  // namespace brevanto::convert
