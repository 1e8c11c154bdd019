# Installs the build into a scratch DESTDIR and checks what landed there.
file(REMOVE_RECURSE "${STAGE}")
set(ENV{DESTDIR} "${STAGE}")
execute_process(COMMAND "${CMAKE_COMMAND}" --install "${BUILD_DIR}" --prefix /usr/local
                RESULT_VARIABLE result OUTPUT_QUIET)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "cmake --install failed: ${result}")
endif()
set(doc usr/local/share/doc/quogtran)
foreach(path usr/local/bin/quogtran usr/local/share/man/man1/quogtran.1 ${doc}/README.md ${doc}/LICENSE
             ${doc}/examples/quogo.dic ${doc}/examples/names.dic ${doc}/examples/story.txt)
  if(NOT EXISTS "${STAGE}/${path}" OR IS_DIRECTORY "${STAGE}/${path}")
    message(FATAL_ERROR "missing from the staged install: ${path}")
  endif()
endforeach()
execute_process(COMMAND "${STAGE}/usr/local/bin/quogtran" --version INPUT_FILE /dev/null
                RESULT_VARIABLE status OUTPUT_VARIABLE version)
if(NOT status EQUAL 0 OR NOT version STREQUAL "quogtran ${VERSION_TEXT}\n")
  message(FATAL_ERROR "the installed program does not run: ${status} ${version}")
endif()

# Under another prefix given at install, the manual and the program's hint
# name the examples where that prefix puts them.
set(other "${STAGE}-prefix")
file(REMOVE_RECURSE "${other}")
set(ENV{DESTDIR} "${other}")
execute_process(COMMAND "${CMAKE_COMMAND}" --install "${BUILD_DIR}" --prefix /opt/quog
                RESULT_VARIABLE result OUTPUT_QUIET)
file(READ "${other}/opt/quog/share/man/man1/quogtran.1" manual)
if(NOT result EQUAL 0 OR NOT manual MATCHES "/opt/quog/share/doc/quogtran/examples" OR manual MATCHES "/usr/local")
  message(FATAL_ERROR "under the prefix /opt/quog the manual names another place")
endif()
file(MAKE_DIRECTORY "${other}/empty")
file(WRITE "${other}/empty/story.txt" "cat\n")
execute_process(COMMAND "${other}/opt/quog/bin/quogtran" story.txt WORKING_DIRECTORY "${other}/empty"
                INPUT_FILE /dev/null OUTPUT_VARIABLE shown ERROR_QUIET)
if(NOT shown MATCHES "the installed examples are in ${other}/opt/quog/share/doc/quogtran/examples\n")
  message(FATAL_ERROR "the installed program's hint names another place: ${shown}")
endif()
file(REMOVE_RECURSE "${other}")

# Every path under share/doc/quogtran that README and the manual name is
# there after the install.
foreach(doc README.md quogtran.1)
  file(READ "${SOURCE_DIR}/${doc}" text)
  string(REGEX MATCHALL "/usr/local/share/doc/quogtran[A-Za-z0-9/._-]*" paths "${text}")
  foreach(path ${paths})
    string(REGEX REPLACE "[/.]+$" "" path "${path}")
    if(NOT EXISTS "${STAGE}${path}")
      message(FATAL_ERROR "${doc} names ${path}, which the install does not make")
    endif()
  endforeach()
endforeach()
