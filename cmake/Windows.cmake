# The Windows build: Daltrix.exe with its resources, and the Windows test programs, which run
# under Wine on a Linux build host. Included by the top CMakeLists.txt when building for Windows.

if(CMAKE_SIZEOF_VOID_P EQUAL 8)
  set(DALTRIX_MANIFEST_ARCH amd64)
else()
  set(DALTRIX_MANIFEST_ARCH x86)
endif()

if(MINGW)
  # One file to copy and run: the GCC runtimes and winpthreads go inside the program.
  add_link_options(-static -static-libgcc -static-libstdc++)
endif()

# --- resources ---------------------------------------------------------------------------------

set(DALTRIX_RES_DIR ${CMAKE_SOURCE_DIR}/res)
set(DALTRIX_RES_BINARY_DIR ${CMAKE_BINARY_DIR}/res)
configure_file(${DALTRIX_RES_DIR}/Daltrix.manifest.in ${DALTRIX_RES_BINARY_DIR}/Daltrix.manifest @ONLY)

# Compiled once, linked into the program and into the test program that drives its dialogs.
add_library(daltrix_resources OBJECT ${DALTRIX_RES_DIR}/Daltrix.rc)
target_include_directories(daltrix_resources PRIVATE ${DALTRIX_RES_DIR} ${DALTRIX_RES_BINARY_DIR})
# The resource compiler reports no dependencies of its own.
set_source_files_properties(${DALTRIX_RES_DIR}/Daltrix.rc PROPERTIES OBJECT_DEPENDS
  "${DALTRIX_RES_DIR}/Daltrix.ico;${DALTRIX_RES_BINARY_DIR}/Daltrix.manifest;${DALTRIX_RES_DIR}/resource.h;${DALTRIX_RES_DIR}/ResourceText.h")

# --- the program ---------------------------------------------------------------------------------

add_executable(Daltrix WIN32
  ${CMAKE_SOURCE_DIR}/app/DaltrixApp.cpp
  ${CMAKE_SOURCE_DIR}/platform/win32/WinMain.cpp)
target_link_libraries(Daltrix PRIVATE daltrix daltrix_resources)
if(MINGW)
  target_link_options(Daltrix PRIVATE -municode  # wWinMain, the wide entry point
    $<$<CONFIG:Release,MinSizeRel>:-s>)
endif()

# --- tests -------------------------------------------------------------------------------------

include(CTest)
if(NOT BUILD_TESTING)
  return()
endif()

find_package(Python3 COMPONENTS Interpreter)
if(Python3_FOUND)
  add_test(NAME icon_is_current
    COMMAND ${Python3_EXECUTABLE} ${CMAKE_SOURCE_DIR}/tools/make_icon.py --check ${DALTRIX_RES_DIR}/Daltrix.ico)
endif()

if(NOT DALTRIX_OBJDUMP)
  set(DALTRIX_OBJDUMP ${CMAKE_OBJDUMP})
endif()
find_program(DALTRIX_BASH bash)
if(DALTRIX_OBJDUMP AND DALTRIX_BASH)
  add_test(NAME daltrix_imports_only_system_dlls
    COMMAND ${DALTRIX_BASH} ${CMAKE_SOURCE_DIR}/tests/windows/check_imports.sh ${DALTRIX_OBJDUMP} $<TARGET_FILE:Daltrix>)
endif()

# GoogleTest built for Windows from Debian's sources; the posix thread model of the -posix
# compilers gives it its threads.
set(DALTRIX_GOOGLETEST_SOURCE /usr/src/googletest CACHE PATH "GoogleTest sources to build for Windows")
if(NOT TARGET gtest AND NOT EXISTS ${DALTRIX_GOOGLETEST_SOURCE}/CMakeLists.txt)
  message(STATUS "No GoogleTest sources at ${DALTRIX_GOOGLETEST_SOURCE}: Windows test programs not built")
  return()
endif()
if(NOT TARGET gtest)
  set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
  set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
  set(gtest_disable_pthreads OFF CACHE BOOL "" FORCE)
  add_subdirectory(${DALTRIX_GOOGLETEST_SOURCE} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
endif()
if(NOT TARGET GTest::gtest)
  add_library(GTest::gtest ALIAS gtest)
  add_library(GTest::gtest_main ALIAS gtest_main)
endif()

set(DALTRIX_WINDOWS_TESTS ${CMAKE_SOURCE_DIR}/tests/windows)

# The system services: the behaviour every back end shares, and what only Windows shows.
file(GLOB DALTRIX_SHARED_SYSTEM_TEST CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tests/system_behaviour_test.cpp)
add_executable(system_win32_test ${DALTRIX_WINDOWS_TESTS}/system_win32_test.cpp ${DALTRIX_SHARED_SYSTEM_TEST})
target_link_libraries(system_win32_test PRIVATE daltrix GTest::gtest_main)
target_compile_definitions(system_win32_test PRIVATE DALTRIX_VERSION="${PROJECT_VERSION}")

# Readings the tool does itself as Windows does them, compared with Windows' own: file DSNs with
# the profile functions', the DSN file's number with msvcrt's _wtoi.
foreach(program file_dsn_win32_test dsn_number_win32_test)
  add_executable(${program} ${DALTRIX_WINDOWS_TESTS}/${program}.cpp)
  target_link_libraries(${program} PRIVATE daltrix GTest::gtest_main)
endforeach()

# The real dialogs from the real resources, driven by window messages.
add_library(daltrix_dialog_driver STATIC ${DALTRIX_WINDOWS_TESTS}/DialogDriver.cpp)
target_link_libraries(daltrix_dialog_driver PUBLIC daltrix)
add_executable(dialog_win32_test ${DALTRIX_WINDOWS_TESTS}/dialog_win32_test.cpp)
target_link_libraries(dialog_win32_test PRIVATE daltrix_dialog_driver daltrix daltrix_resources GTest::gtest_main version)
target_compile_definitions(dialog_win32_test PRIVATE DALTRIX_VERSION="${PROJECT_VERSION}")

# Whole conversions of the demo installation by the real dialog, from the folder the operator
# puts the tool in; run_conversion_test.sh lays out that folder and starts the stand-in.
add_executable(conversion_win32_test ${DALTRIX_WINDOWS_TESTS}/conversion_win32_test.cpp)
target_include_directories(conversion_win32_test PRIVATE ${CMAKE_SOURCE_DIR}/tests)
target_link_libraries(conversion_win32_test PRIVATE daltrix_dialog_driver daltrix daltrix_resources GTest::gtest_main
  ws2_32)

# "Starta" and a whole conversion with the old system database on the legacy test driver, which
# the native build makes: Wine's odbc32 loads unixODBC, and with it that driver, inside the Wine
# process.
add_executable(legacy_win32_test ${DALTRIX_WINDOWS_TESTS}/legacy_win32_test.cpp
  ${CMAKE_SOURCE_DIR}/tests/support/LegacyDatabase.cpp)
target_include_directories(legacy_win32_test PRIVATE ${CMAKE_SOURCE_DIR}/tests)
target_link_libraries(legacy_win32_test PRIVATE daltrix_dialog_driver daltrix daltrix_resources GTest::gtest_main)
set(DALTRIX_NATIVE_BUILD_DIR "" CACHE PATH "A native build of this tree, whose legacy test driver the Wine tests load")

if(NOT CMAKE_CROSSCOMPILING)
  foreach(program system_win32_test dialog_win32_test file_dsn_win32_test dsn_number_win32_test)
    add_test(NAME ${program} COMMAND ${program})
  endforeach()
  return()
endif()

# Cross-built: the programs run under Wine, in a prefix of the build tree's own that one test
# prepares and another ends; the x86 build's prefix is a win32 one, the x64 build's a win64 one.
find_program(DALTRIX_WINE wine)
if(NOT DALTRIX_WINE)
  return()
endif()
if(DALTRIX_MANIFEST_ARCH STREQUAL "amd64")
  set(DALTRIX_WINEARCH win64)
else()
  set(DALTRIX_WINEARCH win32)
endif()
set(DALTRIX_WINE_RUN ${CMAKE_SOURCE_DIR}/tools/wine-run.sh)

# A prefix of its own for the tests that require `fixture`, started first and ended last.
function(daltrix_wine_prefix fixture prefix winearch)
  set(environment "WINEPREFIX=${prefix};WINEARCH=${winearch}")
  add_test(NAME ${fixture}_prefix_start COMMAND ${DALTRIX_WINE_RUN} --start)
  set_tests_properties(${fixture}_prefix_start PROPERTIES
    FIXTURES_SETUP ${fixture} ENVIRONMENT "${environment}" TIMEOUT 300)
  add_test(NAME ${fixture}_prefix_stop COMMAND ${DALTRIX_WINE_RUN} --stop)
  set_tests_properties(${fixture}_prefix_stop PROPERTIES
    FIXTURES_CLEANUP ${fixture} ENVIRONMENT "${environment}" TIMEOUT 60)
  set(DALTRIX_WINE_ENV "${environment}" PARENT_SCOPE)
endfunction()

daltrix_wine_prefix(wine ${CMAKE_BINARY_DIR}/wineprefix ${DALTRIX_WINEARCH})
foreach(program system_win32_test dialog_win32_test file_dsn_win32_test dsn_number_win32_test)
  add_test(NAME ${program} COMMAND ${DALTRIX_WINE_RUN} $<TARGET_FILE:${program}>)
  set_tests_properties(${program} PROPERTIES
    FIXTURES_REQUIRED wine ENVIRONMENT "${DALTRIX_WINE_ENV}" TIMEOUT 300)
endforeach()

# The x86 build on a 64-bit Windows (WoW64) has a 64-bit registry view beside its own, where a
# driver only 64-bit programs see can be installed: the installed-driver tests once more there.
if(DALTRIX_WINEARCH STREQUAL "win32")
  daltrix_wine_prefix(wine_wow64 ${CMAKE_BINARY_DIR}/wineprefix-wow64 win64)
  add_test(NAME system_win32_test_wow64
    COMMAND ${DALTRIX_WINE_RUN} $<TARGET_FILE:system_win32_test> --gtest_filter=Win32OdbcDrivers.*)
  set_tests_properties(system_win32_test_wow64 PROPERTIES
    FIXTURES_REQUIRED wine_wow64 ENVIRONMENT "${DALTRIX_WINE_ENV}" TIMEOUT 300)
endif()

# A prefix, a layout and a stand-in of its own: the conversion changes the installation folder
# and the server, which no other test should see.
if(DALTRIX_BASH)
  add_test(NAME conversion_win32_test
    COMMAND ${DALTRIX_BASH} ${DALTRIX_WINDOWS_TESTS}/run_conversion_test.sh
      $<TARGET_FILE:conversion_win32_test> ${CMAKE_BINARY_DIR}/conversion-test)
  set_tests_properties(conversion_win32_test PROPERTIES TIMEOUT 600 RESOURCE_LOCK conversion-test)
  # The program itself run by a script with each verb, in the same prefix, laid out afresh; once
  # killed mid-conversion by the native build's library in Wine's server.
  add_test(NAME command_line_test
    COMMAND ${DALTRIX_BASH} ${DALTRIX_WINDOWS_TESTS}/command_line_test.sh
      $<TARGET_FILE:Daltrix> ${CMAKE_BINARY_DIR}/conversion-test
      ${DALTRIX_NATIVE_BUILD_DIR}/tests/libstop_before_rename.so)
  set_tests_properties(command_line_test PROPERTIES TIMEOUT 600 RESOURCE_LOCK conversion-test)
endif()

# The complete conversion once more with the old system database on a real server, through each
# driver a site's tqsys.dsn may name; the script starts the server and stops it. Every run lays
# out its folders afresh, so all share the conversion test's prefix, one at a time. The drivers
# are libraries of this 64-bit host: only the x64 build's Wine can load them.
if(DALTRIX_BASH AND DALTRIX_WINEARCH STREQUAL "win64")
  foreach(old postgresql-ansi postgresql-unicode mariadb)
    add_test(NAME conversion_win32_old_system_${old}
      COMMAND ${DALTRIX_BASH} ${DALTRIX_WINDOWS_TESTS}/run_conversion_test.sh
        $<TARGET_FILE:conversion_win32_test> ${CMAKE_BINARY_DIR}/conversion-test --old-system ${old}
        --gtest_filter=OperatorRun.ACompleteConversionCopiesTheSystemDatabaseAndRepointsTheInstallation)
    set_tests_properties(conversion_win32_old_system_${old} PROPERTIES TIMEOUT 600 RESOURCE_LOCK conversion-test)
  endforeach()
endif()

# The legacy driver is a library of this 64-bit host: only the x64 build's Wine can load it.
if(DALTRIX_BASH AND DALTRIX_NATIVE_BUILD_DIR AND DALTRIX_WINEARCH STREQUAL "win64")
  add_test(NAME legacy_win32_test
    COMMAND ${DALTRIX_BASH} ${DALTRIX_WINDOWS_TESTS}/run_conversion_test.sh
      $<TARGET_FILE:legacy_win32_test> ${CMAKE_BINARY_DIR}/legacy-test)
  set_tests_properties(legacy_win32_test PROPERTIES TIMEOUT 600
    ENVIRONMENT "DALTRIX_LEGACY_DRIVER=${DALTRIX_NATIVE_BUILD_DIR}/tests/liblegacy_driver.so")
endif()

# Where the kernel runs no 32-bit code the x86 build's Wine cannot start at all: its tests say so
# and exit with 77, which ctest counts as skipped, not as passed or failed.
get_property(DALTRIX_WINDOWS_TESTS_ALL DIRECTORY PROPERTY TESTS)
set_tests_properties(${DALTRIX_WINDOWS_TESTS_ALL} PROPERTIES SKIP_RETURN_CODE 77)
