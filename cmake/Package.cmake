# The Debian package: from a configured build,
#   cd build && cpack -G DEB
# writes brevanto_<version>_<arch>.deb (brevanto_2.3.0_amd64.deb) with what `cmake --install`
# puts under /usr: both programs, menu entry, icons, man pages, manual, AppStream metadata,
# copyright and changelog. Library dependencies are computed from the programs by
# dpkg-shlibdeps (package dpkg-dev). app/install/check_package.sh builds and checks it.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME brevanto)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "Tolvane")
set(CPACK_PACKAGE_CONTACT "Brevanto developers <brevanto@tolvane.example>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "batch converter of animated GIF files into Flash movies")
# The long description, wrapped for 80-column terminals; "." is an empty line.
string(JOIN "\n" CPACK_PACKAGE_DESCRIPTION
  "Brevanto collects animated GIF files in a list, previews them and converts"
  "one or all of them into Flash movies (SWF), at a chosen size, JPEG quality"
  "and frame rate. It also exports the frames of a GIF as BMP, TGA, GIF, JPEG,"
  "PNG or TIFF files."
  "."
  "The package holds the Qt window program brevanto and the headless converter"
  "brevanto-convert, which writes the same movies from the command line.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
  OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION graphics)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "https://www.tolvane.example/")
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The JPEG encoder counts symbols through a private libjpeg struct (image/platform/JpegCodec.cpp)
# whose layout a libjpeg-turbo release may change under the same soname, so the package asks
# for the upstream version the build was made and tested with (any Debian revision of it);
# shlibdeps adds its own lower bounds to this. Another version would be caught by the
# encoder's self-check and encode more slowly, but with the same bytes.
find_file(BREVANTO_JCONFIG_H jconfig.h HINTS ${JPEG_INCLUDE_DIR})
if(BREVANTO_JCONFIG_H)
  file(STRINGS ${BREVANTO_JCONFIG_H} turbo_version REGEX "^#define LIBJPEG_TURBO_VERSION +[0-9]+[.][0-9]+[.][0-9]+")
endif()
if(NOT turbo_version MATCHES "([0-9]+)[.]([0-9]+)[.]([0-9]+)")
  message(FATAL_ERROR "Package: no libjpeg-turbo version in ${BREVANTO_JCONFIG_H}")
endif()
math(EXPR turbo_next_patch "${CMAKE_MATCH_3} + 1")
set(CPACK_DEBIAN_PACKAGE_DEPENDS
  "libjpeg62-turbo (>= 1:${CMAKE_MATCH_1}.${CMAKE_MATCH_2}.${CMAKE_MATCH_3}), libjpeg62-turbo (<< 1:${CMAKE_MATCH_1}.${CMAKE_MATCH_2}.${turbo_next_patch}~)")
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS OFF)

include(CPack)
