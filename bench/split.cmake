# Splitting large polygons into triangles; included from bench/CMakeLists.txt.
if(NOT TARGET benchmark::benchmark)
  find_package(benchmark REQUIRED)
endif()
add_executable(bench_split ${CMAKE_CURRENT_LIST_DIR}/bench_split.cpp)
target_link_libraries(bench_split PRIVATE tessaline_assets tessaline_warnings benchmark::benchmark)
