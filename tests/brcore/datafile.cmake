# Datafiles, pixel-map files, TGA and BMP pictures.
file(GLOB brcore_datafile_sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/datafile_*_test.cpp)
vok_gtest(brcore_datafile_tests PREFIX brcore_datafile SOURCES ${brcore_datafile_sources} LIBS brcore)
# One test runs pixtool.
if(TARGET pixtool)
  add_dependencies(brcore_datafile_tests pixtool)
endif()
