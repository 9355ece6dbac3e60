# Adjacency build and lookup speed of the host's Neighbor table.
if(NOT TARGET benchmark::benchmark)
  find_package(benchmark REQUIRED)
endif()
add_executable(bench_neighbor ${CMAKE_CURRENT_SOURCE_DIR}/bench_neighbor.cpp)
target_link_libraries(bench_neighbor PRIVATE tessaline_services tessaline_warnings benchmark::benchmark_main)
