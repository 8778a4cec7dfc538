# What every target of the build shares: the warnings, the flags of a Windows program, and the
# files that carry the program's version (set once, in the top-level project()).

# CI builds (.ci/run sets CI=true) turn warnings into errors; a developer's build only shows them.
if("$ENV{CI}" STREQUAL "true")
  set(updater_werror_default ON)
else()
  set(updater_werror_default OFF)
endif()
option(UPDATER_WERROR "Treat compiler warnings as errors" ${updater_werror_default})

add_library(updater_warnings INTERFACE)
target_compile_options(updater_warnings INTERFACE -Wall -Wextra -Wshadow -Wconversion
                       $<$<BOOL:${UPDATER_WERROR}>:-Werror>)

# A Windows program: wide entry point (wmain / wWinMain), no MinGW runtime DLL to ship, and for
# a GUI program (add_executable(... WIN32 ...)) no console and no symbols.
add_library(updater_windows_program INTERFACE)
target_compile_options(updater_windows_program INTERFACE -municode)
target_link_options(updater_windows_program INTERFACE -municode -static
                    $<$<BOOL:$<TARGET_PROPERTY:WIN32_EXECUTABLE>>:-mwindows -s>)

# The version of project() in the code (updater_version.h), in the version record
# (updater.rc) and in the application manifest (updater.exe.manifest), all in one folder of the
# build tree: ${UPDATER_GENERATED_DIR}, with updater_version.h under app/run/.
set(UPDATER_GENERATED_DIR ${PROJECT_BINARY_DIR}/generated)
string(REPLACE "." "," UPDATER_VERSION_COMMAS "${PROJECT_VERSION}")
configure_file(${CMAKE_CURRENT_LIST_DIR}/updater_version.h.in
               ${UPDATER_GENERATED_DIR}/app/run/updater_version.h @ONLY)
configure_file(${CMAKE_CURRENT_LIST_DIR}/updater.rc.in ${UPDATER_GENERATED_DIR}/updater.rc @ONLY)
configure_file(${CMAKE_CURRENT_LIST_DIR}/updater.exe.manifest.in
               ${UPDATER_GENERATED_DIR}/updater.exe.manifest @ONLY)
