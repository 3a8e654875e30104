# Static runtime, GUI subsystem, UTF-16 entry points, and every section a program does not use
# left out, so that each program imports only Windows' own DLLs and stays small.
add_compile_definitions(UNICODE _UNICODE WINVER=0x0601 _WIN32_WINNT=0x0601)
add_compile_options($<$<COMPILE_LANGUAGE:CXX>:-municode> $<$<COMPILE_LANGUAGE:CXX>:-fno-rtti>
                    -ffunction-sections -fdata-sections)
# No link time in the PE header (ld writes one by default): the same sources give the same bytes.
add_link_options(-municode -static -Wl,--gc-sections -Wl,--no-insert-timestamp -s)
if(NOT CMAKE_BUILD_TYPE)
  set(CMAKE_BUILD_TYPE MinSizeRel)
endif()
# Whole-program optimisation across the logic and the platform libraries: each program keeps
# only what it calls.
set(CMAKE_INTERPROCEDURAL_OPTIMIZATION ON)
