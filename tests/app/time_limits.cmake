# Read by CTest after the case lists that gtest_discover_tests wrote: a time
# limit for every case of this folder's suites, so that a run that would wait
# for ever (a close request that goes unheard, a modal loop that never ends)
# fails instead of holding up the whole suite. Each case needs well under a
# second; the stand-in installer gives up waiting after 20.
foreach(suite IN ITEMS app_unit_tests app_run_tests)
  if(DEFINED ${suite}_TESTS)
    set_tests_properties(${${suite}_TESTS} PROPERTIES TIMEOUT 60)
  endif()
endforeach()
