# Test modules: two carriers of one static library (each must own its copy), one that refuses to
# start, resources in a module and in the test program.
vok_static(plat_test_counter SOURCES modules/counter.cpp)
target_include_directories(plat_test_counter PRIVATE ${CMAKE_SOURCE_DIR}/platform/include)

foreach(m PlatModA PlatModB PlatModRefuse)
  vok_module(${m} OUTPUT_DIR ${VOK_TEST_BIN_DIR} SOURCES modules/test_module.cpp
             LIBS platform plat_test_counter)
  target_compile_definitions(${m} PRIVATE MODULE_NAME="${m}")
  add_dependencies(platform_tests ${m})
endforeach()
target_compile_definitions(PlatModRefuse PRIVATE REFUSE_ATTACH)

vok_resources(PlatModA
  RCDATA GREETING data/greeting.txt
  MEDIA_MZIRESOURCE 5 data/blob.bin)
vok_resources(platform_tests RT_RCDATA Program.Txt data/greeting.txt)

# A module that passes on the marked names of one of its static libraries.
vok_static(plat_test_exported SOURCES modules/exported.cpp)
target_include_directories(plat_test_exported PRIVATE ${CMAKE_SOURCE_DIR}/platform/include)
vok_module(PlatModExports OUTPUT_DIR ${VOK_TEST_BIN_DIR} SOURCES modules/test_module.cpp
           LIBS platform plat_test_counter EXPORT_FROM plat_test_exported
           EXPORTS PlatTestExportedValue PlatTestExportedCall)
target_compile_definitions(PlatModExports PRIVATE MODULE_NAME="PlatModExports")
add_dependencies(platform_tests PlatModExports)
target_compile_definitions(platform_tests PRIVATE VOK_CMAKE_COMMAND="${CMAKE_COMMAND}" VOK_NM="${CMAKE_NM}"
                           VOK_CHECK_EXPORTS="${VOK_CMAKE_DIR}/check_exports.cmake")
