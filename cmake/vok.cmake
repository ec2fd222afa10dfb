# Build helpers shared by every part of the tree.

set(VOK_TEST_BIN_DIR ${CMAKE_BINARY_DIR}/tests)
set(VOK_TEST_HOME ${CMAKE_BINARY_DIR}/test-home)
set(VOK_CMAKE_DIR ${CMAKE_CURRENT_LIST_DIR})

# A shared object that the system loads by its module name, e.g. vok_module(Sweeper SOURCES ...) -> Sweeper.so.
# Only what the export macro marks leaves the module; static libraries inside it stay private.
#
# A module that must pass on names defined in one of its static libraries lists the libraries under
# EXPORT_FROM and the names under EXPORTS: the objects of those libraries go into the module as its
# own (the linker hides whatever comes out of an archive), so their marked names leave it, and the
# build fails when one of EXPORTS is missing from the module's dynamic symbol table.
#   vok_module(TrDll SOURCES ... LIBS terrow EXPORT_FROM terrowphys EXPORTS QueueLevel DD_FV3toBrV3)
function(vok_module target)
  cmake_parse_arguments(M "" "OUTPUT_DIR" "SOURCES;LIBS;EXPORT_FROM;EXPORTS" ${ARGN})
  set(sources ${M_SOURCES})
  foreach(lib ${M_EXPORT_FROM})
    list(APPEND sources $<TARGET_OBJECTS:${lib}>)
  endforeach()
  add_library(${target} SHARED ${sources})
  set_target_properties(${target} PROPERTIES PREFIX "" SUFFIX ".so" OUTPUT_NAME ${target})
  if(M_OUTPUT_DIR)
    set_target_properties(${target} PROPERTIES LIBRARY_OUTPUT_DIRECTORY ${M_OUTPUT_DIR})
  endif()
  target_link_options(${target} PRIVATE -Wl,--exclude-libs,ALL -Wl,--no-undefined)
  if(M_LIBS OR M_EXPORT_FROM)
    target_link_libraries(${target} PRIVATE ${M_LIBS} ${M_EXPORT_FROM})
  endif()
  if(M_EXPORTS)
    string(REPLACE ";" "," names "${M_EXPORTS}")
    add_custom_command(TARGET ${target} POST_BUILD
      COMMAND ${CMAKE_COMMAND} -DMODULE=$<TARGET_FILE:${target}> -DNAMES=${names} -DNM=${CMAKE_NM}
              -P ${VOK_CMAKE_DIR}/check_exports.cmake
      VERBATIM)
  endif()
endfunction()

# A static library that several modules carry: position independent, every symbol hidden.
function(vok_static target)
  cmake_parse_arguments(S "" "" "SOURCES" ${ARGN})
  add_library(${target} STATIC ${S_SOURCES})
  set_target_properties(${target} PROPERTIES POSITION_INDEPENDENT_CODE ON
                        C_VISIBILITY_PRESET hidden CXX_VISIBILITY_PRESET hidden
                        VISIBILITY_INLINES_HIDDEN ON)
endfunction()

# A GoogleTest program whose tests are registered with CTest as "<prefix>.<Suite>.<Test>",
# so that `ctest -R <prefix>` selects them. Tests run headless, with their own config folder.
function(vok_gtest target)
  cmake_parse_arguments(T "" "PREFIX;LOCK" "SOURCES;LIBS;ENV" ${ARGN})
  add_executable(${target} ${T_SOURCES})
  set_target_properties(${target} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${VOK_TEST_BIN_DIR})
  target_link_libraries(${target} PRIVATE GTest::gtest GTest::gtest_main ${T_LIBS})
  target_compile_definitions(${target} PRIVATE
    VOK_BIN_DIR="${CMAKE_BINARY_DIR}/bin" VOK_TEST_BIN_DIR="${VOK_TEST_BIN_DIR}"
    VOK_SOURCE_DIR="${CMAKE_SOURCE_DIR}")
  if(NOT T_PREFIX)
    set(T_PREFIX ${target})
  endif()
  # Discovered tests cannot carry a multi-entry ENVIRONMENT property, so the environment comes from
  # an `env` launcher that runs in front of the test program.
  set_target_properties(${target} PROPERTIES CROSSCOMPILING_EMULATOR
    "/usr/bin/env;VOK_HEADLESS=1;XDG_CONFIG_HOME=${VOK_TEST_HOME}/config;XDG_RUNTIME_DIR=${VOK_TEST_HOME}/run;${T_ENV}")
  # LOCK names a shared thing (a file of the program folder) that the tests holding it use one at a time.
  # The games share players.lst, so their program-folder tests all take "program_folder".
  set(props "")
  if(T_LOCK)
    set(props PROPERTIES RESOURCE_LOCK ${T_LOCK})
  endif()
  gtest_discover_tests(${target}
    TEST_PREFIX "${T_PREFIX}."
    DISCOVERY_MODE PRE_TEST
    WORKING_DIRECTORY ${VOK_TEST_BIN_DIR}
    ${props})
endfunction()

include(resources OPTIONAL)

# A whole game played through the real main program from a script: the program's path and the
# script's (SCRIPT_DEFINE, NAME="path") compiled in, the program, the game module and the generated
# data built first, the program folder held.
function(vok_e2e_gtest target)
  cmake_parse_arguments(E "" "PREFIX;MODULE;SCRIPT_DEFINE" "SOURCES;LIBS" ${ARGN})
  vok_gtest(${target} PREFIX ${E_PREFIX} SOURCES ${E_SOURCES} LIBS ${E_LIBS} LOCK program_folder)
  target_compile_definitions(${target} PRIVATE MAVREL_PATH="$<TARGET_FILE:mavrel>" ${E_SCRIPT_DEFINE})
  add_dependencies(${target} mavrel ${E_MODULE})
  if(TARGET data)
    add_dependencies(${target} data)
  endif()
endfunction()
