# What every bench's stand-alone Release build shares, included right after
# its project(): C++20 and the project's tree, added once (a bench inside the
# project's own build, bench/, reuses the tree already there), with tests off.
# A bench that sets QUORVEL_BENCH_UPDATER before including gets the updater
# built without a key (a benchmark build is never packaged); the others get
# the libraries alone. The local HTTP servers' library and threads are found
# for the benches that make one.
set(CMAKE_CXX_STANDARD 20)
set(CMAKE_CXX_STANDARD_REQUIRED ON)
if(NOT TARGET platform_base)
  set(QUORVEL_TESTS OFF CACHE BOOL "" FORCE)
  if(QUORVEL_BENCH_UPDATER)
    set(QUORVEL_ALLOW_UNSIGNED ON CACHE BOOL "" FORCE)
  else()
    set(QUORVEL_BUILD_UPDATER OFF CACHE BOOL "" FORCE)
  endif()
  add_subdirectory(${CMAKE_CURRENT_LIST_DIR}/.. quorvel EXCLUDE_FROM_ALL)
endif()
find_package(PkgConfig REQUIRED)
find_package(Threads REQUIRED)
pkg_check_modules(HTTPLIB REQUIRED IMPORTED_TARGET cpp-httplib)

# The transfer benchmarks' download server, made once when every bench is
# built together.
function(quorvel_bench_download_server)
  if(NOT TARGET download_server)
    add_executable(download_server ${CMAKE_CURRENT_FUNCTION_LIST_DIR}/transfer_tools/download_server.cpp)
    target_link_libraries(download_server PRIVATE PkgConfig::HTTPLIB Threads::Threads)
  endif()
endfunction()
