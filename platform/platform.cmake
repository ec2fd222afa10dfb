# Backends live one folder deeper (src/backend/<name>/) than the main glob reaches.
file(GLOB platform_backend_sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/src/backend/*/*.cpp)
target_sources(platform PRIVATE ${platform_backend_sources})
