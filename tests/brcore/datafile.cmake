# Datafiles, pixel-map files, TGA and BMP pictures.
file(GLOB brcore_datafile_sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/datafile_*_test.cpp)
# Pixel-map files and pictures need the pixel maps.
if(NOT EXISTS ${CMAKE_SOURCE_DIR}/brondel/core/include/brondel/brpixmap.h)
  list(FILTER brcore_datafile_sources INCLUDE REGEX "datafile_format_test")
endif()
vok_gtest(brcore_datafile_tests PREFIX brcore_datafile SOURCES ${brcore_datafile_sources} LIBS brcore)
# One test runs pixtool.
if(TARGET pixtool)
  add_dependencies(brcore_datafile_tests pixtool)
endif()
