# Runs the icon generator into OUT and compares each file with the one in REPO.
file(REMOVE_RECURSE ${OUT})
file(MAKE_DIRECTORY ${OUT})
execute_process(COMMAND ${ICONGEN} ${OUT} RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "icongen failed: ${rc}")
endif()
foreach(name vellary status_green status_red status_yellow)
  execute_process(COMMAND ${CMAKE_COMMAND} -E compare_files ${OUT}/${name}.ico ${REPO}/${name}.ico
    RESULT_VARIABLE differ)
  if(NOT differ EQUAL 0)
    message(FATAL_ERROR "res/${name}.ico differs from what icongen writes; run icongen res")
  endif()
endforeach()
