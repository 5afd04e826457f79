# One short fuzzing run: cmake -DFUZZER=... -DCORPUS=... -DWORK=... -DSECONDS=...
#   -P RunFuzzer.cmake
# The seeds are read from CORPUS, new inputs land in WORK/new, and a crash
# leaves its input in WORK as crash-<hash> (the run then fails).
foreach(var FUZZER CORPUS WORK SECONDS)
  if(NOT DEFINED ${var})
    message(FATAL_ERROR "RunFuzzer.cmake: ${var} is not set")
  endif()
endforeach()

file(REMOVE_RECURSE ${WORK}/new)
file(MAKE_DIRECTORY ${WORK}/new)
execute_process(
  COMMAND ${FUZZER} -seed=1 -max_total_time=${SECONDS} -timeout=10 -rss_limit_mb=2048
          -print_final_stats=1 -artifact_prefix=${WORK}/ ${WORK}/new ${CORPUS}
  RESULT_VARIABLE result)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "${FUZZER} failed (${result}); inputs that broke it are in ${WORK}")
endif()
