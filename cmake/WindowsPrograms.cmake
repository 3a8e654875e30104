# The four Windows programs, linked from the logic and the Win32 services.
enable_language(RC)

set(CMAKE_RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/bin)


add_library(zelvo_win32 STATIC
  services/win32/win32_services.cpp
  services/win32/win32_form.cpp
  services/win32/win32_registry.cpp
)
target_link_libraries(zelvo_win32 PUBLIC zelvo_logic winmm mpr shell32)

function(zelvo_program name)
  cmake_parse_arguments(PROGRAM "" "" "SOURCES" ${ARGN})
  add_executable(${name} WIN32 ${PROGRAM_SOURCES} services/win32/mingw_runtime.cpp)
  target_link_libraries(${name} PRIVATE zelvo_win32)
endfunction()

# windres looks for the icons named in the .rc files here.
set(CMAKE_RC_FLAGS "${CMAKE_RC_FLAGS} -I ${CMAKE_SOURCE_DIR}/resources -I ${CMAKE_SOURCE_DIR}")

zelvo_program(traypop SOURCES opener/main.cpp)
zelvo_program(konfigurator SOURCES configurator/main.cpp configurator/konfigurator.rc)
target_link_libraries(konfigurator PRIVATE comctl32)
zelvo_program(trayflush SOURCES launchers/immediate/main.cpp launchers/immediate/trayflush.rc)
zelvo_program(traywatch SOURCES launchers/shutdown/main.cpp launchers/shutdown/traywatch.rc)

# Test tool, not part of the suite: drives the programs' windows in the end-to-end tests.
add_executable(uidriver tests/wine/uidriver.cpp services/win32/mingw_runtime.cpp)
set_target_properties(uidriver PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/test-tools)
