# The shipped Windows binaries, the same bytes from every build of the same
# sources:
# - the PE time stamp is SOURCE_DATE_EPOCH when it is set at configure time,
#   else zero (the link time would differ from build to build);
# - the debug information and symbols that the runtime libraries bring
#   along are moved to NAME.debug beside the binary, which keeps a debug
#   link to it, so a crash report can still be read against the file of the
#   same build.
set(KORU_SOURCE_DATE_EPOCH "$ENV{SOURCE_DATE_EPOCH}" CACHE STRING
    "PE time stamp of the Windows deliverables, in seconds since 1970; empty for zero")

if(KORU_SOURCE_DATE_EPOCH AND NOT KORU_SOURCE_DATE_EPOCH MATCHES "^[0-9]+$")
  message(FATAL_ERROR "SOURCE_DATE_EPOCH must be a number of seconds")
endif()
# The linker and objcopy both write the PE time stamp from SOURCE_DATE_EPOCH
# when it is set, and the current time otherwise: they always get it.
set(koru_pe_time 0)
if(KORU_SOURCE_DATE_EPOCH)
  set(koru_pe_time ${KORU_SOURCE_DATE_EPOCH})
endif()
set(koru_with_pe_time ${CMAKE_COMMAND} -E env SOURCE_DATE_EPOCH=${koru_pe_time})
if(WIN32)
  set(CMAKE_C_LINKER_LAUNCHER ${koru_with_pe_time})
  set(CMAKE_CXX_LINKER_LAUNCHER ${koru_with_pe_time})
endif()

# koru_ship_binary(TARGET): the target's debug information and symbols go to
# a file of its own beside it, linked by a debug link.
function(koru_ship_binary target)
  if(NOT WIN32)
    return()
  endif()
  add_custom_command(TARGET ${target} POST_BUILD
    COMMAND ${koru_with_pe_time} ${CMAKE_OBJCOPY} --only-keep-debug $<TARGET_FILE:${target}>
      $<TARGET_FILE:${target}>.debug
    COMMAND ${koru_with_pe_time} ${CMAKE_OBJCOPY} --strip-all --add-gnu-debuglink=$<TARGET_FILE_NAME:${target}>.debug
      $<TARGET_FILE:${target}>
    WORKING_DIRECTORY $<TARGET_FILE_DIR:${target}>
    COMMENT "Moving the debug information of $<TARGET_FILE_NAME:${target}> beside it"
    VERBATIM)
endfunction()
