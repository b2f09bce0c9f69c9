#pragma once

// Small path and folder helpers shared by the window, the frame export, the capture and the
// movie assembly. Folder texts built by the program use "/" and end with "/".

#include <string>

namespace brevanto::util {

// The folder rule: a non-empty folder text ends with "/" (one is appended when missing); an
// empty text stays empty, so a missing folder is still seen as missing.
std::string folderPath(std::string folder);

// The folder of the running program, with "/" separators and a trailing "/". Determined once
// per process.
std::string programFolder();

// True when path names an existing directory (symbolic links are followed).
bool isDirectory(const std::string& path);

// Creates the folder named by a "/"-separated path together with any missing parents. Returns
// true when the folder exists afterwards. An empty path, or one without a "/" before its last
// component (a bare relative name), creates nothing and returns false.
bool createDirectoryChain(const std::string& path);

// The text after the last separator of path ("/"; "\\" as well on Windows builds), or the whole
// path when it has none. The extension stays part of it.
std::string fileNamePart(const std::string& path);

// The decimal text of n with leading zeros up to at least width digits; longer numbers are not cut.
std::string zeroPadded(int n, int width);

}  // namespace brevanto::util
