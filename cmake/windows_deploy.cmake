# A Windows program finds its DLLs beside it: after each link, the Qt DLLs it imports, its
# platform plugins (windows; offscreen for tests and Wine), the SVG icon engine and the MinGW
# runtime are copied next to each program, so that the build folder runs as it is.
set(q73580_mingw_runtime)
foreach(dll libstdc++-6.dll libgcc_s_seh-1.dll libwinpthread-1.dll)
  execute_process(COMMAND ${CMAKE_CXX_COMPILER} -print-file-name=${dll}
    OUTPUT_VARIABLE found OUTPUT_STRIP_TRAILING_WHITESPACE)
  if(NOT IS_ABSOLUTE "${found}" OR NOT EXISTS "${found}")
    message(FATAL_ERROR "the MinGW runtime ${dll} was not found beside ${CMAKE_CXX_COMPILER}")
  endif()
  list(APPEND q73580_mingw_runtime ${found})
endforeach()

set(q73580_platform_plugins)
foreach(plugin Qt6::QWindowsIntegrationPlugin Qt6::QOffscreenIntegrationPlugin)
  if(TARGET ${plugin})
    list(APPEND q73580_platform_plugins $<TARGET_FILE:${plugin}>)
  endif()
endforeach()

# The window icon is an SVG: without the icon engine beside the program (and the Qt SVG DLL it
# loads) the windows have no icon. The same as the installer carries, so the tests see that.
set(q73580_svg_module $<TARGET_FILE:Qt6::Svg>)
set(q73580_icon_plugins $<TARGET_FILE:Qt6::QSvgIconPlugin>)

# q73580_deploy_windows_program(target): the DLLs the target needs, copied beside it.
function(q73580_deploy_windows_program target)
  add_custom_command(TARGET ${target} POST_BUILD
    COMMAND ${CMAKE_COMMAND} -E copy_if_different $<TARGET_RUNTIME_DLLS:${target}>
            ${q73580_mingw_runtime} $<TARGET_FILE_DIR:${target}>
    COMMAND ${CMAKE_COMMAND} -E make_directory $<TARGET_FILE_DIR:${target}>/platforms
    COMMAND ${CMAKE_COMMAND} -E copy_if_different ${q73580_platform_plugins}
            $<TARGET_FILE_DIR:${target}>/platforms
    COMMAND ${CMAKE_COMMAND} -E copy_if_different ${q73580_svg_module} $<TARGET_FILE_DIR:${target}>
    COMMAND ${CMAKE_COMMAND} -E make_directory $<TARGET_FILE_DIR:${target}>/iconengines
    COMMAND ${CMAKE_COMMAND} -E copy_if_different ${q73580_icon_plugins}
            $<TARGET_FILE_DIR:${target}>/iconengines
    COMMAND_EXPAND_LISTS VERBATIM)
endfunction()

# The folder the installer and the zip carry, the component "windows":
#   cmake --install build/windows --component windows --prefix STAGE --strip
# The programs, the Qt DLLs they import, the plugins Qt loads for them (the windows platform, the
# native style, and the SVG icon engine for the window icon, with the Qt SVG DLL it imports) and
# the MinGW runtime. The offscreen plugin stays out: only the tests under Wine draw offscreen.
function(q73580_install_windows_programs)
  install(TARGETS ${ARGN} RUNTIME DESTINATION . COMPONENT windows)
  foreach(target IN LISTS ARGN)
    install(FILES $<TARGET_RUNTIME_DLLS:${target}> DESTINATION . COMPONENT windows)
  endforeach()
  install(FILES ${q73580_mingw_runtime} $<TARGET_FILE:Qt6::Svg> DESTINATION . COMPONENT windows)
  install(FILES $<TARGET_FILE:Qt6::QWindowsIntegrationPlugin> DESTINATION platforms
          COMPONENT windows)
  install(FILES $<TARGET_FILE:Qt6::QWindowsVistaStylePlugin> DESTINATION styles
          COMPONENT windows)
  install(FILES $<TARGET_FILE:Qt6::QSvgIconPlugin> DESTINATION iconengines COMPONENT windows)
  # --strip strips only the programs; the DLLs come with their symbols (the runtime's libstdc++
  # is four times its stripped size), so every installed DLL is stripped too.
  install(CODE "set(q73580_strip \"${CMAKE_STRIP}\")" COMPONENT windows)
  install(CODE [[
    if(CMAKE_INSTALL_DO_STRIP)
      file(GLOB_RECURSE q73580_dlls "${CMAKE_INSTALL_PREFIX}/*.dll")
      foreach(dll IN LISTS q73580_dlls)
        execute_process(COMMAND "${q73580_strip}" --strip-unneeded "${dll}" COMMAND_ERROR_IS_FATAL ANY)
      endforeach()
    endif()
  ]] COMPONENT windows)
endfunction()
