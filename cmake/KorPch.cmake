# The sanitizer builds compile every source again, without optimisation, where reading the
# standard headers takes about half of a file's time: there (KOR_PCH, which scripts/test.sh
# sets for them) every C++ target shares one precompiled set of those headers, and the test
# executables keep their own (cmake/KorTesting.cmake). The normal build and the packages
# compile without, so that a file missing an #include still fails to build.
if(NOT KOR_PCH)
  return()
endif()
add_library(kor_std_headers OBJECT ${PROJECT_SOURCE_DIR}/cmake/StdHeaders.cpp)
target_compile_definitions(kor_std_headers PRIVATE ${KOR_PCH_MACROS})
target_precompile_headers(kor_std_headers PRIVATE <algorithm> <array> <atomic> <cerrno> <chrono>
                          <cmath> <condition_variable> <cstddef> <cstdint> <cstdio> <cstdlib>
                          <cstring> <filesystem> <functional> <memory> <mutex> <optional> <string>
                          <string_view> <thread> <vector>)

function(kor_share_std_headers)
  kor_all_targets(targets ${PROJECT_SOURCE_DIR})  # cmake/KorCheckLinks.cmake
  foreach(target ${targets})
    get_target_property(type ${target} TYPE)
    if(NOT type MATCHES "^(STATIC_LIBRARY|SHARED_LIBRARY|OBJECT_LIBRARY|EXECUTABLE)$"
       OR target STREQUAL kor_std_headers)
      continue()
    endif()
    get_target_property(own ${target} PRECOMPILE_HEADERS)
    get_target_property(reused ${target} PRECOMPILE_HEADERS_REUSE_FROM)
    get_target_property(sources ${target} SOURCES)
    list(FILTER sources INCLUDE REGEX "\\.cpp$")
    # A target with an optimisation of its own (the asset generator) sees other macros.
    get_target_property(options ${target} COMPILE_OPTIONS)
    if(own OR reused OR NOT sources OR options MATCHES "-O")
      continue()
    endif()
    target_precompile_headers(${target} REUSE_FROM kor_std_headers)
    target_compile_definitions(${target} PRIVATE ${KOR_PCH_MACROS})
  endforeach()
endfunction()
kor_share_std_headers()
