# Sampler benchmark; included from bench/CMakeLists.txt.
find_package(benchmark REQUIRED)
add_executable(bench_sampler ${CMAKE_CURRENT_LIST_DIR}/bench_sampler.cpp)
target_link_libraries(bench_sampler PRIVATE tessaline_module tessaline_services tessaline_warnings
  benchmark::benchmark_main)
