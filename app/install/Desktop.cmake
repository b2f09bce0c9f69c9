# Install rules of the window program: the program, its menu entry and its icons where desktop
# environments look for them (the freedesktop.org applications folder and the hicolor icon
# theme).
#
#   cmake --install build --prefix ~/.local     # or /usr/local, /opt/brevanto, ...
#
# installs bin/brevanto, share/applications/brevanto.desktop and
# share/icons/hicolor/{16x16,...,256x256,scalable}/apps/brevanto.{png,svg}.
# The icon files are drawn by draw_icon.py from the shapes app/AppIcon.cpp paints for the
# window, so the menu and the running window show the same picture.
if(NOT TARGET brevanto_ui)
  return()
endif()

set(brevanto_icon_dir ${CMAKE_CURRENT_LIST_DIR}/icons)
set(brevanto_icon_sizes 16 24 32 48 64 128 256)
if(TARGET brevanto)
  foreach(size ${brevanto_icon_sizes})
    install(FILES ${brevanto_icon_dir}/brevanto-${size}.png
      DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps
      RENAME brevanto.png)
  endforeach()
  install(FILES ${brevanto_icon_dir}/brevanto.svg
    DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)

  # The menu entry starts the program by its absolute installed path, with the files a file
  # manager hands it (%F; it declares image/gif), so the entry works for
  # any prefix, also one that is not on PATH. The prefix is the one given at install time
  # (cmake --install --prefix), without DESTDIR, which only stages the files.
  set(brevanto_desktop_in ${CMAKE_CURRENT_LIST_DIR}/brevanto.desktop.in)
  set(brevanto_desktop_out ${CMAKE_CURRENT_BINARY_DIR}/brevanto.desktop)
  install(CODE "
    set(exec_path \"\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_BINDIR}/brevanto\")
    if(IS_ABSOLUTE \"${CMAKE_INSTALL_BINDIR}\")
      set(exec_path \"${CMAKE_INSTALL_BINDIR}/brevanto\")
    endif()
    set(BREVANTO_DESKTOP_EXEC \"\\\"\${exec_path}\\\"\")
    configure_file(\"${brevanto_desktop_in}\" \"${brevanto_desktop_out}\" @ONLY)
  ")
  install(FILES ${brevanto_desktop_out} DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
endif()
