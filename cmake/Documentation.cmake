# The documents that ship with the programs:
#   - man pages brevanto(1) and brevanto-convert(1) (docs/man/), installed gzipped, as Debian
#     wants them and man reads them;
#   - the manual docs/manual.html with its picture docs/window.png, installed into
#     share/doc/brevanto/ and copied beside the window program in the build, so Help finds it
#     in both places;
#   - the AppStream metadata (share/metainfo/) and, in share/doc/brevanto/, the copyright file
#     and the changelog.
# With tests on, a test compares the options of `brevanto-convert --help` with its man page.
set(brevanto_docs ${PROJECT_SOURCE_DIR}/docs)
set(brevanto_doc_dir ${CMAKE_INSTALL_DATADIR}/doc/brevanto)
find_program(BREVANTO_GZIP gzip REQUIRED)

# gzip -n leaves out the name and time, so the same page gives the same bytes.
set(brevanto_gzipped)
function(brevanto_gzip input output)
  add_custom_command(OUTPUT ${output}
    COMMAND ${BREVANTO_GZIP} -9 -n -c ${input} > ${output}
    DEPENDS ${input} VERBATIM)
  set(brevanto_gzipped ${brevanto_gzipped} ${output} PARENT_SCOPE)
endfunction()

set(brevanto_pages brevanto-convert)
if(TARGET brevanto)
  list(APPEND brevanto_pages brevanto)
endif()
foreach(page ${brevanto_pages})
  brevanto_gzip(${brevanto_docs}/man/${page}.1 ${PROJECT_BINARY_DIR}/docs/${page}.1.gz)
  install(FILES ${PROJECT_BINARY_DIR}/docs/${page}.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
endforeach()
brevanto_gzip(${PROJECT_SOURCE_DIR}/app/install/changelog ${PROJECT_BINARY_DIR}/docs/changelog.gz)
file(MAKE_DIRECTORY ${PROJECT_BINARY_DIR}/docs)
add_custom_target(brevanto_docs ALL DEPENDS ${brevanto_gzipped})
install(FILES ${PROJECT_BINARY_DIR}/docs/changelog.gz ${PROJECT_SOURCE_DIR}/app/install/copyright
  DESTINATION ${brevanto_doc_dir})

if(TARGET brevanto)
  set(manual_files ${brevanto_docs}/manual.html ${brevanto_docs}/window.png)
  install(FILES ${manual_files} DESTINATION ${brevanto_doc_dir})
  install(FILES ${PROJECT_SOURCE_DIR}/app/install/example.tolvane.brevanto.metainfo.xml
    DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
  # Beside the program in the build (where Help looks first).
  get_target_property(program_dir brevanto BINARY_DIR)
  set(copies)
  foreach(file ${manual_files})
    get_filename_component(name ${file} NAME)
    add_custom_command(OUTPUT ${program_dir}/${name}
      COMMAND ${CMAKE_COMMAND} -E copy_if_different ${file} ${program_dir}/${name}
      DEPENDS ${file} VERBATIM)
    list(APPEND copies ${program_dir}/${name})
  endforeach()
  add_custom_target(brevanto_manual ALL DEPENDS ${copies})
endif()

if(BREVANTO_BUILD_TESTS AND TARGET brevanto-convert)
  add_test(NAME man_page_lists_the_options_of_help
    COMMAND ${brevanto_docs}/man/check_options.sh $<TARGET_FILE:brevanto-convert>
            ${brevanto_docs}/man/brevanto-convert.1)
endif()
