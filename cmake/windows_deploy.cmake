# A Windows program finds its DLLs beside it: after each link, the Qt DLLs it imports, its
# platform plugins (windows; offscreen for tests and Wine) and the MinGW runtime are copied next
# to each program, so that the build folder runs as it is.
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

# q73580_deploy_windows_program(target): the DLLs the target needs, copied beside it.
function(q73580_deploy_windows_program target)
  add_custom_command(TARGET ${target} POST_BUILD
    COMMAND ${CMAKE_COMMAND} -E copy_if_different $<TARGET_RUNTIME_DLLS:${target}>
            ${q73580_mingw_runtime} $<TARGET_FILE_DIR:${target}>
    COMMAND ${CMAKE_COMMAND} -E make_directory $<TARGET_FILE_DIR:${target}>/platforms
    COMMAND ${CMAKE_COMMAND} -E copy_if_different ${q73580_platform_plugins}
            $<TARGET_FILE_DIR:${target}>/platforms
    COMMAND_EXPAND_LISTS VERBATIM)
endfunction()
