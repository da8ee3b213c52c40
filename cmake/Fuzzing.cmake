# libFuzzer targets (RZMAP_BUILD_FUZZ=ON; scripts/fuzz builds this into
# build-fuzz/). Included before any target exists: every library is built
# with coverage feedback and AddressSanitizer + UndefinedBehaviorSanitizer,
# so the fuzzer sees into the code under test and any memory error or UB
# there is a finding. Only the fuzz executables link libFuzzer itself
# (rz_add_fuzz_target in fuzz/CMakeLists.txt).

if(NOT CMAKE_CXX_COMPILER_ID MATCHES "Clang")
    message(FATAL_ERROR "RZMAP_BUILD_FUZZ needs clang (libFuzzer), not ${CMAKE_CXX_COMPILER_ID}; "
                        "configure with -DCMAKE_CXX_COMPILER=clang++")
endif()

set(RZMAP_FUZZ_FLAGS
    -fsanitize=fuzzer-no-link,address,undefined
    -fno-sanitize-recover=undefined
    -fno-omit-frame-pointer
)

# Fail at configure time, with the reason, when libFuzzer's runtime is
# missing (Debian 12: libclang-rt-14-dev, only recommended by clang).
include(CheckCXXSourceCompiles)
set(CMAKE_REQUIRED_FLAGS "-fsanitize=fuzzer,address,undefined")
check_cxx_source_compiles([[
    #include <cstddef>
    #include <cstdint>
    extern "C" int LLVMFuzzerTestOneInput(const uint8_t *, size_t) { return 0; }
]] RZMAP_LIBFUZZER_LINKS)
unset(CMAKE_REQUIRED_FLAGS)
if(NOT RZMAP_LIBFUZZER_LINKS)
    message(FATAL_ERROR "${CMAKE_CXX_COMPILER} cannot link with -fsanitize=fuzzer; "
                        "see CMakeFiles/CMakeError.log")
endif()

add_compile_options(${RZMAP_FUZZ_FLAGS})
add_link_options(${RZMAP_FUZZ_FLAGS})

message(STATUS "rzmap: fuzz build (${RZMAP_FUZZ_FLAGS})")
