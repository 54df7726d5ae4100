# Run by cpack after it made the packages (CPACK_POST_BUILD_SCRIPTS): adds the
# control fields CPack's DEB generator has no variable for. The development
# and library packages are "Multi-Arch: same": their architecture-dependent
# files are all in the multiarch library folder, so that two architectures'
# copies install side by side.
foreach(deb IN LISTS CPACK_PACKAGE_FILES)
  get_filename_component(name ${deb} NAME)
  if(NOT name MATCHES "^libquorvel(-dev|1|-widgets1)_")
    continue()
  endif()
  set(tree ${deb}.tree)
  file(REMOVE_RECURSE ${tree})
  execute_process(COMMAND dpkg-deb -R ${deb} ${tree} COMMAND_ERROR_IS_FATAL ANY)
  file(READ ${tree}/DEBIAN/control control)
  string(FIND "${control}" "Multi-Arch:" present)
  string(REGEX MATCH "Architecture: [^\n]*\n" arch "${control}")
  if(present EQUAL -1 AND arch)
    string(REPLACE "${arch}" "${arch}Multi-Arch: same\n" control "${control}")
    file(WRITE ${tree}/DEBIAN/control "${control}")
  endif()
  # A library package runs ldconfig through dpkg's trigger, not from
  # maintainer scripts of its own (which CPack writes).
  if(name MATCHES "^libquorvel(1|-widgets1)_")
    file(REMOVE ${tree}/DEBIAN/postinst ${tree}/DEBIAN/postrm)
    file(WRITE ${tree}/DEBIAN/triggers "activate-noawait ldconfig\n")
  endif()
  execute_process(COMMAND dpkg-deb --root-owner-group -Zxz --build ${tree} ${deb} OUTPUT_QUIET
                  COMMAND_ERROR_IS_FATAL ANY)
  file(REMOVE_RECURSE ${tree})
endforeach()
