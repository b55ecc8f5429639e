# `cmake --install`: the library with its header, and the command-line tools.
# The tools find the library beside them in lib/ through a relative RUNPATH,
# so the installed tree works wherever it is put.
include(GNUInstallDirs)

set(koru_tool_rpath "$ORIGIN/../${CMAKE_INSTALL_LIBDIR}")

install(TARGETS molt
  LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR}
  RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES ${PROJECT_SOURCE_DIR}/extractor/include/molt.h
  DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})

foreach(tool IN ITEMS molt_cli molt-pack)
  if(TARGET ${tool})
    if(NOT WIN32)
      set_target_properties(${tool} PROPERTIES INSTALL_RPATH "${koru_tool_rpath}")
    endif()
    install(TARGETS ${tool} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  endif()
endforeach()
