# The Linux programs, linked from the logic and the Linux services against Debian's libudev,
# libsystemd and, for the message-box helper alone, GTK 4.
enable_language(C)
find_package(PkgConfig REQUIRED)
pkg_check_modules(UDEV REQUIRED IMPORTED_TARGET libudev)
pkg_check_modules(SYSTEMD REQUIRED IMPORTED_TARGET libsystemd)
pkg_check_modules(GTK4 REQUIRED IMPORTED_TARGET gtk4)

set(CMAKE_RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/bin)

# Only the libraries a program calls, and only the code it calls (optimised across the whole
# program, which keeps each launcher within 64 KiB); hardened as Debian builds its own programs.
# The C++ runtime is Debian's shared one, as for every program of the system. Library calls go
# straight through the GOT, which -z now has filled and relro made read-only, so no PLT
# stubs are needed. Relative relocations are packed (DT_RELR, read by Debian 12's glibc 2.36): a
# fraction of the bytes, and fewer for the loader to apply at each start.
# No build folder in the programs (the journal's CODE_FILE is a source's __FILE__): the same
# commit gives the same bytes wherever it is built.
set(ZELVO_LINUX_FLAGS -ffunction-sections -fdata-sections -fno-ident -fstack-protector-strong -fno-plt
                      -D_FORTIFY_SOURCE=2 -ffile-prefix-map=${CMAKE_SOURCE_DIR}/=
                      -ffile-prefix-map=${CMAKE_BINARY_DIR}/=)
set(CMAKE_INTERPROCEDURAL_OPTIMIZATION ON)
add_compile_options(${ZELVO_LINUX_FLAGS})
add_link_options(-Wl,--as-needed -Wl,--gc-sections -Wl,-z,relro -Wl,-z,now -Wl,-z,pack-relative-relocs)
# The logic, made before this file is read, alike.
set_target_properties(zelvo_logic PROPERTIES INTERPROCEDURAL_OPTIMIZATION ON)
target_compile_options(zelvo_logic PRIVATE ${ZELVO_LINUX_FLAGS})

# traypop's part: processes, drives and the drive control. libsystemd is opened at run time,
# only for a disc that must be unmounted first (services/linux/udisks.cpp).
add_library(zelvo_linux STATIC
  services/linux/wide_text.cpp
  services/linux/home_folder.cpp
  services/linux/meeting_place.cpp
  services/linux/linux_process.cpp
  services/linux/ready_start.cpp
  services/linux/optical_drives.cpp
  services/linux/drive_call.cpp
  services/linux/linux_drives.cpp
  services/linux/drive_commands.cpp
  services/linux/linux_drive_control.cpp
  services/linux/udisks.cpp
)
target_link_libraries(zelvo_linux PUBLIC zelvo_logic PkgConfig::UDEV ${CMAKE_DL_LIBS})
target_include_directories(zelvo_linux SYSTEM PRIVATE ${SYSTEMD_INCLUDE_DIRS})

# "This session" as logind knows it, which traywatch and konfigurator find alike.
add_library(zelvo_linux_session STATIC services/linux/login_session.cpp
            services/linux/session_copy.cpp)
target_link_libraries(zelvo_linux_session PUBLIC zelvo_linux PkgConfig::SYSTEMD)

# The launchers' hidden window: the event loop, the journal and the message boxes, the session's
# end from logind and the quiet stop.
add_library(zelvo_linux_form STATIC
  services/linux/linux_form.cpp
  services/linux/session_end.cpp
  services/linux/quiet_stop.cpp
)
target_link_libraries(zelvo_linux_form PUBLIC zelvo_linux_session)

add_executable(traypop opener/linux_main.cpp)
target_link_libraries(traypop PRIVATE zelvo_linux)
add_executable(trayflush launchers/immediate/linux_main.cpp)
target_link_libraries(trayflush PRIVATE zelvo_linux_form)
add_executable(traywatch launchers/shutdown/linux_main.cpp)
target_link_libraries(traywatch PRIVATE zelvo_linux_form)
add_executable(komunikat services/linux/komunikat.cpp)
target_link_libraries(komunikat PRIVATE PkgConfig::GTK4)
# For the message box styles the programs send.
target_include_directories(komunikat PRIVATE ${CMAKE_SOURCE_DIR})

# The settings window, in GTK 4 through its C++ binding, over XDG autostart entries read with
# GLib's key files and desktop-entry code (gio-unix, a part of the gio that GTK loads already).
pkg_check_modules(GTKMM REQUIRED IMPORTED_TARGET gtkmm-4.0)
pkg_check_modules(GIO_UNIX REQUIRED IMPORTED_TARGET gio-unix-2.0)
add_executable(konfigurator
  configurator/linux_main.cpp
  services/linux/gtk_form.cpp
  services/linux/xdg_autostart_store.cpp
  services/linux/linux_watcher.cpp
)
target_link_libraries(konfigurator PRIVATE zelvo_linux_session PkgConfig::GTKMM PkgConfig::GIO_UNIX)

# Baselines for the figures script, and konfigurator's side of the quiet stop without its
# window for the tests and the figures.
add_executable(eject_program tests/bench/eject_program.c)
add_executable(empty_linux_program tests/bench/empty_linux_program.c)
add_executable(runtime_program tests/bench/runtime_program.cpp)
# Linked to the C++ runtime although it calls nothing of it.
target_link_options(runtime_program PRIVATE LINKER:--no-as-needed)
add_executable(inhibitor_program tests/bench/inhibitor_program.c)
target_link_libraries(inhibitor_program PRIVATE PkgConfig::SYSTEMD)
add_executable(watcher_client tests/linux/watcher_client.cpp services/linux/linux_watcher.cpp)
target_link_libraries(watcher_client PRIVATE zelvo_linux_session)
# konfigurator's start-up store without its window, for the tests.
add_executable(autostart_client tests/linux/autostart_client.cpp
               services/linux/xdg_autostart_store.cpp)
target_link_libraries(autostart_client PRIVATE zelvo_linux PkgConfig::GIO_UNIX)
set_target_properties(eject_program empty_linux_program runtime_program inhibitor_program
                      watcher_client autostart_client PROPERTIES
                      RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/test-tools)
# A drive whose open never returns, for the tests: preloaded before umockdev's library.
add_library(stuck_open MODULE tests/linux/stuck_open.c)
target_link_libraries(stuck_open PRIVATE ${CMAKE_DL_LIBS})
set_target_properties(stuck_open PROPERTIES PREFIX "" LIBRARY_OUTPUT_DIRECTORY
                      ${CMAKE_BINARY_DIR}/test-tools)

include(cmake/LinuxPackage.cmake)
