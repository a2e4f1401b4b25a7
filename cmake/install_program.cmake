# q73580_install_program(TARGET COMPONENT component SUMMARY text)
# Installs a program into the given install component, with its manual page, made by help2man
# from the program's --help (its NAME line from SUMMARY) and gzipped as Debian wants it.
# The version comes from the project, not from the program's --version, so that a program
# without that option gets a page too. A stripping install (`cmake --install --strip`, CPack)
# also drops the compiler's .comment section, as Debian's own packages do.

find_program(Q73580_HELP2MAN help2man)
find_program(Q73580_GZIP gzip)
if(NOT Q73580_HELP2MAN OR NOT Q73580_GZIP)
  message(STATUS "help2man or gzip not found: the programs are installed without manual pages")
endif()

# The pages carry the date of the latest changelog entry, not the build's, so that two builds of
# one version give the same pages. Its version must be the project's: a new version needs an entry.
set(Q73580_CHANGELOG ${PROJECT_SOURCE_DIR}/packaging/changelog)
set(Q73580_RELEASE_TIMESTAMP "")
find_program(Q73580_PARSECHANGELOG dpkg-parsechangelog)
if(Q73580_PARSECHANGELOG)
  execute_process(COMMAND ${Q73580_PARSECHANGELOG} -l ${Q73580_CHANGELOG} -S Version
    OUTPUT_VARIABLE changelog_version OUTPUT_STRIP_TRAILING_WHITESPACE COMMAND_ERROR_IS_FATAL ANY)
  if(NOT changelog_version STREQUAL PROJECT_VERSION)
    message(FATAL_ERROR "packaging/changelog's latest entry is for ${changelog_version}, "
      "the project is ${PROJECT_VERSION}: add an entry for it")
  endif()
  execute_process(COMMAND ${Q73580_PARSECHANGELOG} -l ${Q73580_CHANGELOG} -S Timestamp
    OUTPUT_VARIABLE Q73580_RELEASE_TIMESTAMP OUTPUT_STRIP_TRAILING_WHITESPACE
    COMMAND_ERROR_IS_FATAL ANY)
endif()

function(q73580_install_program target)
  cmake_parse_arguments(PARSE_ARGV 1 arg "" "COMPONENT;SUMMARY" "")
  install(TARGETS ${target} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT ${arg_COMPONENT})
  set(installed "${CMAKE_INSTALL_BINDIR}/$<TARGET_FILE_NAME:${target}>")
  install(CODE "
    if(CMAKE_INSTALL_DO_STRIP)
      execute_process(COMMAND \"${CMAKE_OBJCOPY}\" --remove-section=.comment
        \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${installed}\" COMMAND_ERROR_IS_FATAL ANY)
    endif()" COMPONENT ${arg_COMPONENT})

  if(NOT Q73580_HELP2MAN OR NOT Q73580_GZIP)
    return()
  endif()
  set(page ${PROJECT_BINARY_DIR}/man/${target}.1)
  set(date_env "")
  if(Q73580_RELEASE_TIMESTAMP)
    set(date_env SOURCE_DATE_EPOCH=${Q73580_RELEASE_TIMESTAMP})
  endif()
  # The programs answer --help without a display; offscreen keeps it so on a desktop too.
  add_custom_command(OUTPUT ${page}.gz
    COMMAND ${CMAKE_COMMAND} -E env QT_QPA_PLATFORM=offscreen LC_ALL=C.UTF-8 ${date_env}
            ${Q73580_HELP2MAN} --no-info --no-discard-stderr --version-string=${PROJECT_VERSION}
            --name=${arg_SUMMARY} --output=${page} $<TARGET_FILE:${target}>
    COMMAND ${Q73580_GZIP} -9nf ${page}
    DEPENDS ${target} ${Q73580_CHANGELOG}
    COMMENT "Manual page of ${target}"
    VERBATIM)
  add_custom_target(${target}-man-page ALL DEPENDS ${page}.gz)
  install(FILES ${page}.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1 COMPONENT ${arg_COMPONENT})
endfunction()
