# Makes the release zip with cpack and checks what a Windows user unpacks from
# it: the programs as built, README.txt with CR LF line breaks, the example
# configuration, and nothing else.
#
# cmake -DCPACK=... -DCONFIG=<CPackConfig.cmake> -DOUT=<folder> -DVERSION=x.y.z
#       -DPROGRAM=<vellary.exe> -DWALKER=0|1 -DREPORT=0|1 -DEXAMPLE=<vellary.cfg> -P release_zip.cmake

function(fail text)
  message(FATAL_ERROR "release zip: ${text}")
endfunction()

set(name vellary-${VERSION}-win64)
file(REMOVE_RECURSE ${OUT})
execute_process(COMMAND ${CPACK} --config ${CONFIG} -B ${OUT}
  RESULT_VARIABLE rc OUTPUT_VARIABLE log ERROR_VARIABLE log)
if(NOT rc EQUAL 0)
  fail("cpack failed:\n${log}")
endif()
set(zip ${OUT}/${name}.zip)
if(NOT EXISTS ${zip})
  file(GLOB made ${OUT}/*.zip)
  fail("no ${name}.zip; cpack made: ${made}")
endif()

execute_process(COMMAND ${CMAKE_COMMAND} -E tar tf ${zip} OUTPUT_VARIABLE listing RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
  fail("cannot list ${zip}")
endif()
message("${name}.zip holds:\n${listing}")
string(STRIP "${listing}" listing)
string(REPLACE "\n" ";" entries "${listing}")
list(FILTER entries EXCLUDE REGEX "/$")
list(SORT entries)
# The console tools, each expected as soon as it is part of the build.
set(tools)
if(WALKER)
  list(APPEND tools vellary-cfg.exe)
endif()
if(REPORT)
  list(APPEND tools vellary-report.exe)
endif()
set(expected README.txt vellary.cfg vellary.exe ${tools})
list(TRANSFORM expected PREPEND ${name}/)
list(SORT expected)
if(NOT entries STREQUAL expected)
  fail("it holds\n  ${entries}\nnot\n  ${expected}")
endif()

set(unpacked ${OUT}/unpacked)
file(MAKE_DIRECTORY ${unpacked})
execute_process(COMMAND ${CMAKE_COMMAND} -E tar xf ${zip} WORKING_DIRECTORY ${unpacked} RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
  fail("cannot unpack ${zip}")
endif()
set(dir ${unpacked}/${name})

execute_process(COMMAND ${CMAKE_COMMAND} -E compare_files ${dir}/vellary.exe ${PROGRAM} RESULT_VARIABLE differ)
if(differ)
  fail("vellary.exe is not the program built as ${PROGRAM}")
endif()
foreach(tool IN LISTS tools)
  file(READ ${dir}/${tool} magic LIMIT 2 HEX)
  if(NOT magic STREQUAL "4d5a")
    fail("${tool} is not a Windows program")
  endif()
endforeach()
# The tests load this same file with the program's reader.
execute_process(COMMAND ${CMAKE_COMMAND} -E compare_files ${dir}/vellary.cfg ${EXAMPLE} RESULT_VARIABLE differ)
if(differ)
  fail("vellary.cfg is not the example ${EXAMPLE}")
endif()

# Read as hex: CMake's own text reading drops CR. Each byte becomes " xx ", so
# patterns match whole bytes. Notepad of older Windows shows a bare LF as no
# break at all.
file(READ ${dir}/README.txt hex HEX)
string(REGEX REPLACE "(..)" " \\1 " bytes "${hex}")
string(REPLACE " 0d  0a " "" unpaired "${bytes}")
if(unpaired MATCHES " 0[ad] ")
  fail("README.txt has a line break that is not CR LF")
endif()
if(NOT hex MATCHES "0d0a$")
  fail("README.txt does not end in CR LF")
endif()
if(bytes MATCHES " ([89a-f].|0[0-8bcef]|1.|7f) ")
  fail("README.txt holds characters beyond plain ASCII text")
endif()
string(HEX "Vellary ${VERSION} " title)
string(FIND "${hex}" "${title}" at)
if(NOT at EQUAL 0)
  fail("README.txt does not start with \"Vellary ${VERSION}\"")
endif()
message("release zip: ${name}.zip holds what it should")
