# The effects benchmark again, with the nearest OpenCV analogues measured in
# the same run. Optional: without OpenCV (package libopencv-dev) only the
# plain effects_bench of bench/ is built.
if(NOT WIN32 AND QV_BENCHMARKS)
  find_package(OpenCV QUIET COMPONENTS core imgproc)
  find_package(benchmark QUIET)
  if(OpenCV_FOUND AND benchmark_FOUND)
    add_executable(effects_opencv_bench ${PROJECT_SOURCE_DIR}/bench/effects_bench.cpp)
    qv_core_flags(effects_opencv_bench)
    target_compile_definitions(effects_opencv_bench PRIVATE QV_WITH_OPENCV)
    target_include_directories(effects_opencv_bench SYSTEM PRIVATE ${OpenCV_INCLUDE_DIRS})
    target_link_libraries(effects_opencv_bench PRIVATE qv_effects benchmark::benchmark ${OpenCV_LIBS})
  endif()
endif()
