# TALVEX_MINGW_RUNTIME_DLLS: the C++ runtime DLLs of the mingw-w64 compiler
# (libstdc++, libgcc, winpthread), which Qt's DLLs and the programs built
# against them load.
set(TALVEX_MINGW_RUNTIME_DLLS "")
foreach(runtime libstdc++-6.dll libgcc_s_seh-1.dll libwinpthread-1.dll)
  execute_process(COMMAND ${CMAKE_CXX_COMPILER} -print-file-name=${runtime}
                  OUTPUT_VARIABLE runtime_path OUTPUT_STRIP_TRAILING_WHITESPACE)
  if(NOT IS_ABSOLUTE "${runtime_path}" OR NOT EXISTS "${runtime_path}")
    message(FATAL_ERROR "${CMAKE_CXX_COMPILER} does not know where ${runtime} is")
  endif()
  get_filename_component(runtime_path ${runtime_path} REALPATH)
  list(APPEND TALVEX_MINGW_RUNTIME_DLLS ${runtime_path})
endforeach()
