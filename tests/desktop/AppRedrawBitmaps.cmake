# Runs the drawing script into OUT and compares every file with SOURCE.
execute_process(COMMAND ${PYTHON} ${SOURCE}/draw_toolbar.py --out ${OUT} RESULT_VARIABLE drawn)
if(NOT drawn EQUAL 0)
    message(FATAL_ERROR "draw_toolbar.py failed (${drawn})")
endif()
foreach(file bitmap128.bmp bitmap130.bmp bitmap131.bmp icon128.png icon129.png)
    execute_process(COMMAND ${CMAKE_COMMAND} -E compare_files ${OUT}/${file} ${SOURCE}/${file}
                    RESULT_VARIABLE same)
    if(NOT same EQUAL 0)
        message(FATAL_ERROR "${file} differs from what draw_toolbar.py draws now")
    endif()
endforeach()
