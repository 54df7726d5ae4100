# Manual pages made at build time from each program's --help and --version
# with help2man, gzipped, installed with the programs (component man). Left
# out when help2man is missing and in sanitizer or fuzzing builds, where
# running the programs at build time is not wanted.
find_program(HELP2MAN help2man)
if(HELP2MAN AND NOT QUORVEL_SANITIZE AND NOT QUORVEL_FUZZ)
  set(QUORVEL_MAN_PAGES ON)
else()
  set(QUORVEL_MAN_PAGES OFF)
endif()

# quorvel_man_page(<program target> "<one-line description>" [<install component>])
# A file man/<target>.h2m beside this one, when there is one, adds sections
# (help2man --include), FILES for instance.
function(quorvel_man_page target description)
  set(_component man)
  if(ARGC GREATER 2)
    set(_component ${ARGV2})
  endif()
  set(_include)
  set(_include_file)
  if(EXISTS ${CMAKE_CURRENT_FUNCTION_LIST_DIR}/man/${target}.h2m)
    set(_include_file ${CMAKE_CURRENT_FUNCTION_LIST_DIR}/man/${target}.h2m)
    set(_include --include=${_include_file})
  endif()
  if(NOT QUORVEL_MAN_PAGES)
    return()
  endif()
  set(_page ${PROJECT_BINARY_DIR}/man/${target}.1)
  add_custom_command(
    OUTPUT ${_page}.gz
    COMMAND ${CMAKE_COMMAND} -E make_directory ${PROJECT_BINARY_DIR}/man
    COMMAND ${CMAKE_COMMAND} -E env QT_QPA_PLATFORM=offscreen ${HELP2MAN} --no-info --no-discard-stderr
            --section=1 --name=${description} ${_include} --output=${_page} $<TARGET_FILE:${target}>
    COMMAND gzip -9nf ${_page}
    DEPENDS ${target} ${_include_file}
    COMMENT "Manual page of ${target}"
    VERBATIM)
  add_custom_target(${target}_man ALL DEPENDS ${_page}.gz)
  install(FILES ${_page}.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1 COMPONENT ${_component})
endfunction()
