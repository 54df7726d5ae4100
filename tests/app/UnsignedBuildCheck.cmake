# Configures the source tree (tests off, nothing built) without a key: refused
# unless QUORVEL_ALLOW_UNSIGNED is set, whatever the download address (this
# machine's included), accepted with it; and cpack then refuses to package
# that keyless build.
# Run as: cmake -DSOURCE_DIR=... -DWORK_DIR=... -DGENERATOR=... -DCXX_COMPILER=... -P UnsignedBuildCheck.cmake
function(configure name expect_ok)
  execute_process(
    COMMAND ${CMAKE_COMMAND} -S ${SOURCE_DIR} -B ${WORK_DIR}/${name} -G ${GENERATOR}
            -DCMAKE_CXX_COMPILER=${CXX_COMPILER} -DQUORVEL_TESTS=OFF ${ARGN}
    RESULT_VARIABLE result OUTPUT_VARIABLE out ERROR_VARIABLE err)
  if(expect_ok AND NOT result EQUAL 0)
    message(FATAL_ERROR "${name}: configure failed:\n${err}")
  endif()
  if(NOT expect_ok AND (result EQUAL 0 OR NOT err MATCHES "QUORVEL_ALLOW_UNSIGNED=ON"))
    message(FATAL_ERROR "${name}: configure did not refuse an unsigned updater with a clear message:\n${err}")
  endif()
endfunction()

file(REMOVE_RECURSE ${WORK_DIR})
set(_remote -DQUORVEL_UPDATE_URL=https://updates.example:8443/downloads/DirevidUreziv.cab)
configure(remote-unsigned FALSE ${_remote})
configure(remote-spoofed FALSE -DQUORVEL_UPDATE_URL=http://evil.example?@127.0.0.1/downloads/DirevidUreziv.cab)
configure(loopback-unsigned FALSE -DQUORVEL_UPDATE_URL=http://[::1]:8642/downloads/DirevidUreziv.cab)
configure(remote-allowed TRUE ${_remote} -DQUORVEL_ALLOW_UNSIGNED=ON)

execute_process(COMMAND cpack -G DEB WORKING_DIRECTORY ${WORK_DIR}/remote-allowed RESULT_VARIABLE result
                OUTPUT_VARIABLE out ERROR_VARIABLE err)
if(result EQUAL 0 OR NOT "${out}${err}" MATCHES "has no key")
  message(FATAL_ERROR "cpack packaged an updater without a key:\n${out}${err}")
endif()
file(REMOVE_RECURSE ${WORK_DIR})
