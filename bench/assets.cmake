# Mesh import and welding of a large binary STL; included from bench/CMakeLists.txt.
if(NOT TARGET benchmark::benchmark)
  find_package(benchmark REQUIRED)
endif()
add_executable(bench_assets ${CMAKE_CURRENT_LIST_DIR}/bench_assets.cpp)
find_package(assimp REQUIRED)
target_link_libraries(bench_assets PRIVATE tessaline_assets assimp::assimp tessaline_warnings benchmark::benchmark)
