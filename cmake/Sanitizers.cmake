# AddressSanitizer + UndefinedBehaviorSanitizer for every target of the build
# (RZMAP_SANITIZE=ON; scripts/test --sanitize builds this into build-sanitize/).
# Included before any target exists, so directory-wide options reach all of them.

if(NOT CMAKE_CXX_COMPILER_ID MATCHES "GNU|Clang")
    message(FATAL_ERROR "RZMAP_SANITIZE needs gcc or clang, not ${CMAKE_CXX_COMPILER_ID}")
endif()

# UB stops the test at once instead of scrolling past as a warning; the frame
# pointer keeps ASan's fast unwinder giving whole stacks.
set(RZMAP_SANITIZER_FLAGS
    -fsanitize=address,undefined
    -fno-sanitize-recover=undefined
    -fno-omit-frame-pointer
)
# gcc leaves double-to-int overflow out of "undefined"; pixel and sample
# arithmetic from map coordinates is exactly where it would happen.
if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU")
    list(APPEND RZMAP_SANITIZER_FLAGS -fsanitize=float-cast-overflow)
endif()

# Fail at configure time, with the reason, when the runtime is missing
# (libasan/libubsan come with build-essential on Debian 12).
include(CheckCXXSourceCompiles)
list(JOIN RZMAP_SANITIZER_FLAGS " " CMAKE_REQUIRED_FLAGS)
set(CMAKE_REQUIRED_LINK_OPTIONS ${RZMAP_SANITIZER_FLAGS})
check_cxx_source_compiles("int main() { return 0; }" RZMAP_SANITIZERS_LINK)
unset(CMAKE_REQUIRED_LINK_OPTIONS)
if(NOT RZMAP_SANITIZERS_LINK)
    message(FATAL_ERROR "${CMAKE_CXX_COMPILER} cannot build with ${CMAKE_REQUIRED_FLAGS}; "
                        "see CMakeFiles/CMakeError.log")
endif()
message(STATUS "rzmap: sanitized build (${CMAKE_REQUIRED_FLAGS})")
unset(CMAKE_REQUIRED_FLAGS)

add_compile_options(${RZMAP_SANITIZER_FLAGS})
add_link_options(${RZMAP_SANITIZER_FLAGS})

# Debug at -O1, as ASan's documentation advises: far quicker than -O0 and
# stacks and line numbers stay usable.
add_compile_options($<$<CONFIG:Debug>:-O1>)

# Bounds checks in the standard containers: an index past size() but inside
# the capacity is no ASan error.
add_compile_definitions(_GLIBCXX_ASSERTIONS)

# Lets tests leave out what cannot work under ASan (its shadow memory needs
# terabytes of address space, so e.g. RLIMIT_AS cannot be lowered).
add_compile_definitions(RZMAP_SANITIZED=1)
