# Install layout: the program folder (programs, help pages, pictures) under
# <prefix>/opt/qz4veld, a desktop entry and icon under <prefix>/share, and links
# in <prefix>/bin. The program finds its help pages and settings file beside its
# own executable, so the links point into the program folder.
include(GNUInstallDirs)
set(QZ_PROGRAM_FOLDER "opt/qz4veld" CACHE STRING "Program folder below the install prefix")

set(QZ_INSTALLED_PROGRAMS qz4veld-config qz4veld-sim)
set(QZ_LINKED_PROGRAMS qz4veld-config)
if(TARGET qz4veld-cli)
  list(APPEND QZ_INSTALLED_PROGRAMS qz4veld-cli)
  list(APPEND QZ_LINKED_PROGRAMS qz4veld-cli)
endif()

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
