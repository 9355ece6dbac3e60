# The module: tessaline_module (static, for unit tests) and the shared library
# `tessaline` that the host loads. Sources are plain C++17 and the standard
# library, so the same list cross-builds for Windows.
file(GLOB TESSALINE_MODULE_SOURCES CONFIGURE_DEPENDS
  ${PROJECT_SOURCE_DIR}/host/*.cpp
  ${PROJECT_SOURCE_DIR}/main/*.cpp
  ${PROJECT_SOURCE_DIR}/source/*/*.cpp)

# The per-sample path crosses the module's own sources (shader, edge walk,
# evaluation); link-time optimisation lets it inline across them.
include(CheckIPOSupported)
check_ipo_supported(RESULT TESSALINE_IPO OUTPUT ipoOutput LANGUAGES CXX)
if(NOT TESSALINE_SANITIZE STREQUAL "")
  set(TESSALINE_IPO OFF)
endif()

add_library(tessaline_module STATIC ${TESSALINE_MODULE_SOURCES})
target_include_directories(tessaline_module PUBLIC ${PROJECT_SOURCE_DIR})
target_link_libraries(tessaline_module PRIVATE tessaline_warnings)
set_target_properties(tessaline_module PROPERTIES
  CXX_VISIBILITY_PRESET hidden VISIBILITY_INLINES_HIDDEN ON INTERPROCEDURAL_OPTIMIZATION ${TESSALINE_IPO})

add_library(tessaline SHARED ${TESSALINE_MODULE_SOURCES})
target_include_directories(tessaline PRIVATE ${PROJECT_SOURCE_DIR})
target_link_libraries(tessaline PRIVATE tessaline_warnings)
set_target_properties(tessaline PROPERTIES
  PREFIX "" CXX_VISIBILITY_PRESET hidden VISIBILITY_INLINES_HIDDEN ON INTERPROCEDURAL_OPTIMIZATION ${TESSALINE_IPO}
  LIBRARY_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/module)
if(WIN32)
  set_target_properties(tessaline PROPERTIES OUTPUT_NAME tessaline_r15 SUFFIX ".cdl64"
    RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/module)
  target_link_options(tessaline PRIVATE -static -static-libgcc -static-libstdc++)
else()
  # Exactly one dynamic symbol leaves the module. A sanitized module takes its
  # runtime from the host program, so it may have undefined symbols then.
  target_link_options(tessaline PRIVATE -Wl,--version-script=${PROJECT_SOURCE_DIR}/cmake/module.map)
  if(TESSALINE_SANITIZE STREQUAL "")
    target_link_options(tessaline PRIVATE -Wl,--no-undefined)
  endif()
endif()

# The module folder the host loads from: the library beside res/ and docs/.
file(MAKE_DIRECTORY ${CMAKE_BINARY_DIR}/module)
foreach(folder res docs)
  file(CREATE_LINK ${PROJECT_SOURCE_DIR}/${folder} ${CMAKE_BINARY_DIR}/module/${folder} SYMBOLIC)
endforeach()
