# Pixel maps: allocation, the memory class, generic methods, clipping, text; writes a PNG to look at.
file(GLOB brcore_pixelmap_sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/pixelmap_*_test.cpp)
vok_gtest(brcore_pixelmap_tests PREFIX brcore_pixelmap
  SOURCES ${brcore_pixelmap_sources}
  LIBS brcore)
