# Install layout: the program folder (programs, help pages, pictures) under
# <prefix>/opt/qz4veld, a desktop entry, icon, AppStream metadata, manual pages and
# bash completion under <prefix>/share, and links in <prefix>/bin. The program finds its help pages and settings file beside its
# own executable, so the links point into the program folder.
include(GNUInstallDirs)
set(QZ_PROGRAM_FOLDER "opt/qz4veld" CACHE STRING "Program folder below the install prefix")

set(QZ_INSTALLED_PROGRAMS qz4veld-config qz4veld-sim)
set(QZ_LINKED_PROGRAMS qz4veld-config)
if(TARGET qz4veld-cli)
  list(APPEND QZ_INSTALLED_PROGRAMS qz4veld-cli)
  list(APPEND QZ_LINKED_PROGRAMS qz4veld-cli)
  install(FILES ${CMAKE_SOURCE_DIR}/packaging/qz4veld-cli.bash
          DESTINATION ${CMAKE_INSTALL_DATADIR}/bash-completion/completions RENAME qz4veld-cli)
endif()

set(QZ_DEVELOPER "Seed 7adfed92 maintainers")
set(QZ_MAINTAINER "${QZ_DEVELOPER} <maintainers@users.noreply.c-seed-7adfed92.example>")
set(QZ_HOMEPAGE "https://qz4veld.c-seed-7adfed92.example" CACHE STRING
    "Project home page; AppStream takes the screenshot from <home page>/docs/main-window.png")
set(QZ_APPSTREAM_ID "example.c_seed_7adfed92.qz4veld")
configure_file(${CMAKE_SOURCE_DIR}/packaging/qz4veld-config.metainfo.xml.in
               ${CMAKE_BINARY_DIR}/packaging/${QZ_APPSTREAM_ID}.metainfo.xml @ONLY)
install(FILES ${CMAKE_BINARY_DIR}/packaging/${QZ_APPSTREAM_ID}.metainfo.xml
        DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)

# Manual pages are installed compressed, as man expects them on Debian.
find_program(QZ_GZIP gzip REQUIRED)
add_custom_target(qz_docs ALL)
function(qz_gzipped source destination)
  get_filename_component(name ${source} NAME)
  set(copy ${CMAKE_BINARY_DIR}/packaging/gz/${name})
  add_custom_command(OUTPUT ${copy}.gz
                     COMMAND ${CMAKE_COMMAND} -E copy ${source} ${copy}
                     COMMAND ${QZ_GZIP} -9nf ${copy}
                     DEPENDS ${source})
  add_custom_target(qz_gzip_${name} DEPENDS ${copy}.gz)
  add_dependencies(qz_docs qz_gzip_${name})
  install(FILES ${copy}.gz DESTINATION ${destination})
endfunction()
foreach(program ${QZ_LINKED_PROGRAMS})
  configure_file(${CMAKE_SOURCE_DIR}/packaging/${program}.1.in ${CMAKE_BINARY_DIR}/packaging/${program}.1 @ONLY)
  qz_gzipped(${CMAKE_BINARY_DIR}/packaging/${program}.1 ${CMAKE_INSTALL_MANDIR}/man1)
endforeach()

install(TARGETS ${QZ_INSTALLED_PROGRAMS} RUNTIME DESTINATION ${QZ_PROGRAM_FOLDER})
install(FILES ${QZ_RESOURCES} DESTINATION ${QZ_PROGRAM_FOLDER})
install(FILES ${CMAKE_SOURCE_DIR}/packaging/qz4veld-config.svg
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)

# The prefix is only known for certain at install time (cmake --install
# --prefix), so the desktop entry's command and the links are made then.
install(CODE "
  if(IS_ABSOLUTE \"${QZ_PROGRAM_FOLDER}\")
    set(qz_folder \"${QZ_PROGRAM_FOLDER}\")
    set(qz_link_folder \"${QZ_PROGRAM_FOLDER}\")
  else()
    set(qz_folder \"\${CMAKE_INSTALL_PREFIX}/${QZ_PROGRAM_FOLDER}\")
    file(RELATIVE_PATH qz_link_folder \"/qz/${CMAKE_INSTALL_BINDIR}\" \"/qz/${QZ_PROGRAM_FOLDER}\")
  endif()

  set(QZ_EXEC \"\${qz_folder}/qz4veld-config\")
  configure_file(\"${CMAKE_SOURCE_DIR}/packaging/qz4veld-config.desktop.in\"
                 \"${CMAKE_BINARY_DIR}/packaging/qz4veld-config.desktop\" @ONLY)
  file(INSTALL DESTINATION \"\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_DATADIR}/applications\" TYPE FILE
       FILES \"${CMAKE_BINARY_DIR}/packaging/qz4veld-config.desktop\")

  set(qz_bin \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_BINDIR}\")
  file(MAKE_DIRECTORY \"\${qz_bin}\")
  foreach(qz_program ${QZ_LINKED_PROGRAMS})
    message(STATUS \"Installing: \${qz_bin}/\${qz_program} -> \${qz_link_folder}/\${qz_program}\")
    file(REMOVE \"\${qz_bin}/\${qz_program}\")
    file(CREATE_LINK \"\${qz_link_folder}/\${qz_program}\" \"\${qz_bin}/\${qz_program}\" SYMBOLIC)
  endforeach()
")

option(QZ_DEB "Build the Debian package (scripts/package): its own documents and CPack" OFF)
if(QZ_DEB)
  include(${CMAKE_SOURCE_DIR}/packaging/package.cmake)
endif()
