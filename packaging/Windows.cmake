# The Windows panel as an operator unpacks it: one folder holding the
# program, the library, talvexctl, the Qt DLLs and plugins the panel loads,
# the C++ runtime they share and the shipped schedule.
#   cmake --install <build> --prefix <folder>   lays the folder out
#   cpack --config <build>/CPackConfig.cmake    zips it: TalvexPanel-win64.zip

install(TARGETS TalvexPanel talvexctl Talvex RUNTIME DESTINATION . COMPONENT panel)
install(FILES ${PROJECT_SOURCE_DIR}/panel/config.xml DESTINATION . COMPONENT panel)

# Qt: the three modules, the windows platform (Qt looks for platforms/ and
# styles/ beside the program) and the style of the desktop it runs on.
install(FILES $<TARGET_FILE:Qt6::Core> $<TARGET_FILE:Qt6::Gui> $<TARGET_FILE:Qt6::Widgets>
        DESTINATION . COMPONENT panel)
install(FILES $<TARGET_FILE:Qt6::QWindowsIntegrationPlugin> DESTINATION platforms COMPONENT panel)
install(FILES $<TARGET_FILE:Qt6::QWindowsVistaStylePlugin> DESTINATION styles COMPONENT panel)

# The C++ runtime of the compiler that built Qt and the panel. Debian's
# copies carry their symbols; the folder gets them without (a tenth the size).
include(${PROJECT_SOURCE_DIR}/cmake/MingwRuntime.cmake)
install(FILES ${TALVEX_MINGW_RUNTIME_DLLS} DESTINATION . COMPONENT panel)
foreach(runtime IN LISTS TALVEX_MINGW_RUNTIME_DLLS)
  get_filename_component(runtime_name ${runtime} NAME)
  install(CODE "execute_process(COMMAND \"${CMAKE_STRIP}\" --strip-unneeded
                \"\${CMAKE_INSTALL_PREFIX}/${runtime_name}\" COMMAND_ERROR_IS_FATAL ANY)" COMPONENT panel)
endforeach()

set(CPACK_GENERATOR ZIP)
set(CPACK_PACKAGE_NAME TalvexPanel)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_FILE_NAME TalvexPanel-win64)
set(CPACK_PACKAGE_DIRECTORY ${PROJECT_BINARY_DIR}/packages)
set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY ON)
set(CPACK_STRIP_FILES ON)
include(CPack)
