# Shared compiler settings, linked into every target as an interface library.
add_library(koru_settings INTERFACE)
target_compile_options(koru_settings INTERFACE
  $<$<COMPILE_LANGUAGE:CXX>:-Wall -Wextra -Wno-missing-field-initializers>)

# No build path goes into a binary, so that two builds of the same sources
# in different folders give the same bytes: file names in the debug
# information and in assertion texts are relative to the source tree, and
# the build folder (often inside it; of the maps that fit, the compilers take
# the last) is ".".
target_compile_options(koru_settings INTERFACE
  -ffile-prefix-map=${PROJECT_SOURCE_DIR}/= -ffile-prefix-map=${PROJECT_BINARY_DIR}=.)

option(KORU_SANITIZE "Build with AddressSanitizer and UndefinedBehaviorSanitizer" OFF)
if(KORU_SANITIZE)
  target_compile_options(koru_settings INTERFACE
    -fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer)
  target_link_options(koru_settings INTERFACE -fsanitize=address,undefined)
endif()

if(NOT WIN32)
  # File offsets, sizes and times of 64 bits on 32-bit systems too: volumes
  # of 2 GiB and more, and files written past that, must open and seek
  # there, and file times past 2038 must be read.
  target_compile_definitions(koru_settings INTERFACE _FILE_OFFSET_BITS=64 _TIME_BITS=64)
endif()

if(WIN32)
  # Our Windows binaries carry their C and C++ runtimes and import only system DLLs.
  target_link_options(koru_settings INTERFACE -static -static-libgcc -static-libstdc++)
  target_compile_definitions(koru_settings INTERFACE WIN32_LEAN_AND_MEAN NOMINMAX)
endif()

if(KORU_BUILD_FUZZ)
  # Coverage for libFuzzer in every library the fuzzers link. Every sanitizer
  # report ends the run, so that libFuzzer keeps the input that caused it.
  target_compile_options(koru_settings INTERFACE
    -fsanitize=fuzzer-no-link,address,undefined -fno-sanitize-recover=all
    -fno-omit-frame-pointer)
  target_link_options(koru_settings INTERFACE -fsanitize=address,undefined
    -fno-sanitize-recover=all)
endif()
