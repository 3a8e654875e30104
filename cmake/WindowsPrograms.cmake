# The four Windows programs, linked from the logic and the Win32 services.
enable_language(RC)
# Only for the C baseline of the figures script.
enable_language(C)

set(CMAKE_RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/bin)


add_library(zelvo_win32 STATIC
  services/win32/win32_process.cpp
  services/win32/win32_drives.cpp
  services/win32/win32_form.cpp
  services/win32/win32_registry.cpp
  services/win32/win32_watcher.cpp
)
target_link_libraries(zelvo_win32 PUBLIC zelvo_logic winmm shell32)

# zelvo_program(NAME SOURCES ... [DESCRIPTION text] [WINDOWED]): one program with its manifest
# and version resource. WINDOWED programs show windows or message boxes: they get themed
# controls and per-monitor DPI awareness.
function(zelvo_program name)
  cmake_parse_arguments(PROGRAM "WINDOWED" "DESCRIPTION" "SOURCES" ${ARGN})
  set(resources)
  if(PROGRAM_DESCRIPTION)
    set(ZELVO_PROGRAM ${name})
    set(ZELVO_DESCRIPTION ${PROGRAM_DESCRIPTION})
    set(ZELVO_MANIFEST_WINDOWED "")
    if(PROGRAM_WINDOWED)
      file(READ ${CMAKE_SOURCE_DIR}/resources/windowed.manifest.part ZELVO_MANIFEST_WINDOWED)
    endif()
    set(ZELVO_MANIFEST_FILE ${CMAKE_BINARY_DIR}/resources/${name}.manifest)
    configure_file(${CMAKE_SOURCE_DIR}/resources/program.manifest.in ${ZELVO_MANIFEST_FILE} @ONLY)
    configure_file(${CMAKE_SOURCE_DIR}/resources/version.rc.in
                   ${CMAKE_BINARY_DIR}/resources/${name}_version.rc @ONLY)
    set(resources ${CMAKE_BINARY_DIR}/resources/${name}_version.rc)
    set_property(SOURCE ${resources} APPEND PROPERTY OBJECT_DEPENDS ${ZELVO_MANIFEST_FILE})
  endif()
  add_executable(${name} WIN32 ${PROGRAM_SOURCES} ${resources} services/win32/mingw_runtime.cpp)
  target_link_libraries(${name} PRIVATE zelvo_win32)
endfunction()

# windres looks for the icons named in the .rc files here.
set(CMAKE_RC_FLAGS "${CMAKE_RC_FLAGS} -I ${CMAKE_SOURCE_DIR}/resources -I ${CMAKE_SOURCE_DIR}")

zelvo_program(traypop SOURCES opener/main.cpp opener/traypop.rc
              DESCRIPTION "Zelvo CD – wysuwanie tacki jednego napędu")
zelvo_program(konfigurator SOURCES configurator/main.cpp configurator/konfigurator.rc
              DESCRIPTION "Zelvo CD – konfigurator" WINDOWED)
target_link_libraries(konfigurator PRIVATE comctl32)
zelvo_program(trayflush SOURCES launchers/immediate/main.cpp launchers/immediate/trayflush.rc
              DESCRIPTION "Zelvo CD – wysuwanie tacek po zalogowaniu" WINDOWED)
zelvo_program(traywatch SOURCES launchers/shutdown/main.cpp launchers/shutdown/traywatch.rc
              DESCRIPTION "Zelvo CD – wysuwanie tacki przy zamykaniu systemu" WINDOWED)

# Test tool, not part of the suite: drives the programs' windows in the end-to-end tests.
add_executable(uidriver tests/wine/uidriver.cpp services/win32/mingw_runtime.cpp)
target_link_libraries(uidriver PRIVATE version)
set_target_properties(uidriver PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/test-tools)

# Baselines for the figures script.
foreach(baseline empty_program empty_window winmm_program)
  add_executable(${baseline} WIN32 tests/bench/${baseline}.cpp)
  set_target_properties(${baseline} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/test-tools)
endforeach()
target_link_libraries(winmm_program PRIVATE winmm)
# traypop's honest floor: its two MCI strings from a plain C program.
add_executable(mci_program WIN32 tests/bench/mci_program.c)
target_link_libraries(mci_program PRIVATE winmm)
set_target_properties(mci_program PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/test-tools)

# Stands in for traypop where a test must see how a launcher started it.
add_executable(recorder WIN32 tests/wine/recorder.cpp services/win32/mingw_runtime.cpp)
target_link_libraries(recorder PRIVATE zelvo_win32)
set_target_properties(recorder PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/test-tools)

# Runs the start-up store over the real registry in the end-to-end tests.
add_executable(registry_check tests/wine/registry_check.cpp services/win32/mingw_runtime.cpp)
target_link_libraries(registry_check PRIVATE zelvo_win32)
set_target_properties(registry_check PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/test-tools)
