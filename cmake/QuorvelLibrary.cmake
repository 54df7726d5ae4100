# The library face: the components install as static libraries with the
# headers their main headers include and a CMake package, so that another
# program writes
#   find_package(Quorvel CONFIG REQUIRED COMPONENTS Transfer Cabinet Captions Pictures Widgets Install Update)
# and links Quorvel::Transfer and the others. Transfer needs Qt Core alone;
# a program that links Quorvel::ProgressDialog too gets the engine's progress
# window on screen. The platform layers they link install too, exported under
# their own names but not offered as components.
include(GNUInstallDirs)
include(CMakePackageConfigHelpers)

# Component, its target, its main header.
set(_quorvel_components
    Transfer transfer WebCopy.h
    ProgressDialog progressdialog ProgressDialog.h
    Cabinet cabinet cabfiles.h
    Captions htmlcaption htmlbtns.h
    Pictures pictures PictureContainer.h
    Widgets widgets XiProgressBar.h
    Install staged_install TStagedInstall.h
    Update update TUpdate.h)

set(QUORVEL_INCLUDE_SUBDIR quorvel)
set(QUORVEL_CMAKE_DIR ${CMAKE_INSTALL_LIBDIR}/cmake/Quorvel)

# Every target of ours the given ones link, themselves included (out), and
# every outside target or library they link (out_external).
function(_quorvel_link_closure out out_external)
  set(todo ${ARGN})
  set(seen)
  set(external)
  while(todo)
    list(POP_FRONT todo target)
    if(target IN_LIST seen)
      continue()
    endif()
    list(APPEND seen ${target})
    get_target_property(_type ${target} TYPE)
    get_target_property(_ilibs ${target} INTERFACE_LINK_LIBRARIES)
    set(_libs)
    # A shared library's own links stay inside it; a static one's reach its users.
    if(_type STREQUAL "STATIC_LIBRARY")
      get_target_property(_libs ${target} LINK_LIBRARIES)
    endif()
    foreach(lib IN LISTS _libs _ilibs)
      if(NOT lib OR lib MATCHES "NOTFOUND$")
        continue()
      endif()
      # A static library's private dependencies reach its users as LINK_ONLY.
      if(lib MATCHES "^\\$<LINK_ONLY:(.+)>$")
        set(lib ${CMAKE_MATCH_1})
      endif()
      set(_imported FALSE)
      if(TARGET ${lib})
        get_target_property(_imported ${lib} IMPORTED)
      endif()
      if(TARGET ${lib} AND NOT _imported)
        list(APPEND todo ${lib})
      else()
        list(APPEND external ${lib})
      endif()
    endforeach()
  endwhile()
  list(REMOVE_DUPLICATES external)
  set(${out} ${seen} PARENT_SCOPE)
  set(${out_external} ${external} PARENT_SCOPE)
endfunction()

# The headers a caller gets by including the given main headers: followed
# through their #include "..." lines among the headers of the given targets'
# folders. Headers install into one folder, so two with the same name are an
# error, and none may include or name the platform libraries' own types.
function(_quorvel_header_closure out targets)
  foreach(target IN LISTS targets)
    get_target_property(_dir ${target} SOURCE_DIR)
    file(GLOB _headers ${_dir}/*.h)
    foreach(header IN LISTS _headers)
      get_filename_component(_name ${header} NAME)
      if(DEFINED _qh_${_name} AND NOT _qh_${_name} STREQUAL header)
        message(FATAL_ERROR "Two installable headers named ${_name}: ${_qh_${_name}} and ${header}")
      endif()
      set(_qh_${_name} ${header})
    endforeach()
  endforeach()
  set(_qh_QuorvelExport.h ${PROJECT_BINARY_DIR}/export/QuorvelExport.h)
  set(todo)
  foreach(name IN LISTS ARGN)
    list(APPEND todo ${_qh_${name}})
  endforeach()
  set(seen)
  set(_forbidden_include "^(curl/|mspack\\.h|libsmbclient\\.h|openssl/)")
  set(_forbidden_name "(^|[^A-Za-z0-9_])(CURLM?|CURLcode|SMBCCTX|SMBCFILE|mscab[a-z_]*|mspack_[a-z_]+|EVP_[A-Z_]+|OSSL_[A-Z_]+)([^A-Za-z0-9_]|$)")
  while(todo)
    list(POP_FRONT todo header)
    if(header IN_LIST seen)
      continue()
    endif()
    list(APPEND seen ${header})
    file(STRINGS ${header} _lines)
    foreach(line IN LISTS _lines)
      if(line MATCHES "^[ \t]*#[ \t]*include[ \t]*\"([^\"]+)\"")
        set(_name ${CMAKE_MATCH_1})
        if(NOT DEFINED _qh_${_name})
          message(FATAL_ERROR "${header} includes ${_name}, which no installed library provides")
        endif()
        list(APPEND todo ${_qh_${_name}})
      elseif(line MATCHES "^[ \t]*#[ \t]*include[ \t]*<([^>]+)>" AND CMAKE_MATCH_1 MATCHES "${_forbidden_include}")
        message(FATAL_ERROR "${header} is installed and includes <${CMAKE_MATCH_1}>")
      elseif(line MATCHES "${_forbidden_name}" AND NOT line MATCHES "^[ \t]*//")
        message(FATAL_ERROR "${header} is installed and names ${CMAKE_MATCH_2}")
      endif()
    endforeach()
  endwhile()
  set(${out} ${seen} PARENT_SCOPE)
endfunction()

# Copies the installable headers into dir as they install: the public ones
# (given by name) into dir/quorvel, the ones they need into dir/quorvel/detail,
# each #include "..." between them rewritten to the other's relative place, so
# that a caller's include path holds the folder above quorvel alone.
function(_quorvel_stage_headers dir headers public_names)
  set(_names)
  foreach(header IN LISTS headers)
    get_filename_component(_name ${header} NAME)
    list(APPEND _names ${_name})
  endforeach()
  foreach(header IN LISTS headers)
    get_filename_component(_name ${header} NAME)
    if(_name IN_LIST public_names)
      set(_to_public "")
      set(_to_detail "detail/")
      set(_dest ${dir}/quorvel/${_name})
    else()
      set(_to_public "../")
      set(_to_detail "")
      set(_dest ${dir}/quorvel/detail/${_name})
    endif()
    file(READ ${header} _text)
    string(REGEX MATCHALL "#[ \t]*include[ \t]*\"[^\"]+\"" _includes "${_text}")
    list(REMOVE_DUPLICATES _includes)
    foreach(_line IN LISTS _includes)
      string(REGEX REPLACE "^.*\"([^\"]+)\"$" "\\1" _included "${_line}")
      if(NOT _included IN_LIST _names)
        continue()
      endif()
      if(_included IN_LIST public_names)
        set(_path "${_to_public}${_included}")
      else()
        set(_path "${_to_detail}${_included}")
      endif()
      string(REPLACE "${_line}" "#include \"${_path}\"" _text "${_text}")
    endforeach()
    file(WRITE ${_dest}.new "${_text}")
    # Unchanged copies keep their time, so callers' builds are not redone.
    file(COPY_FILE ${_dest}.new ${_dest} ONLY_IF_DIFFERENT)
    file(REMOVE ${_dest}.new)
    set_property(DIRECTORY ${PROJECT_SOURCE_DIR} APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${header})
  endforeach()
endfunction()

# How the package's config file finds each outside dependency, for the
# components asked for alone: one list of outside dependencies per component
# (QUORVEL_COMPONENT_DEPENDENCIES, "set(...)" lines) and the pkg-config module
# of each PkgConfig:: target. components: pairs of a component and its
# targets (separated by "|").
function(_quorvel_dependency_lines out components)
  set(lines "")
  set(all_external)
  set(_spec ${components})
  while(_spec)
    list(POP_FRONT _spec component targets)
    string(REPLACE "|" ";" targets "${targets}")
    _quorvel_link_closure(_targets _external ${targets})
    set(_known)
    foreach(lib IN LISTS _external)
      if(lib MATCHES "^(Qt6::.+|Threads::Threads|OpenSSL::Crypto|PkgConfig::.+)$")
        list(APPEND _known ${lib})
      elseif(lib STREQUAL CMAKE_DL_LIBS OR lib MATCHES "^-")
        # A system library given by name: the linker finds it.
      else()
        message(FATAL_ERROR "The installed libraries link ${lib}; tell QuorvelConfig.cmake how to find it")
      endif()
    endforeach()
    list(APPEND all_external ${_known})
    string(APPEND lines "set(_quorvel_dependencies_${component} \"${_known}\")\n")
  endwhile()
  list(REMOVE_DUPLICATES all_external)
  foreach(lib IN LISTS all_external)
    if(lib MATCHES "^PkgConfig::(.+)$")
      set(_module ${QUORVEL_PKG_MODULE_${CMAKE_MATCH_1}})
      if(NOT _module)
        message(FATAL_ERROR "No pkg-config module known for ${lib}; add it to QUORVEL_PKG_MODULE_*")
      endif()
      string(APPEND lines "set(_quorvel_pkg_module_${CMAKE_MATCH_1} \"${_module}\")\n")
    endif()
  endforeach()
  set(${out} "${lines}" PARENT_SCOPE)
endfunction()

# Our targets in link order (each before the ones it links), as -l flags, for
# quorvel.pc; and the outside libraries as pkg-config modules and flags.
function(_quorvel_pkgconfig_lines out_libs out_requires targets external)
  set(order)
  set(visiting)
  # Depth first: a target goes in after everything it links, then the list is reversed.
  macro(_quorvel_visit target)
    if(NOT "${target}" IN_LIST order)
      get_target_property(_links_${target} ${target} LINK_LIBRARIES)
      foreach(_lib_${target} IN LISTS _links_${target})
        if(_lib_${target} IN_LIST targets)
          _quorvel_visit(${_lib_${target}})
        endif()
      endforeach()
      if(NOT "${target}" IN_LIST order)
        list(APPEND order ${target})
      endif()
    endif()
  endmacro()
  foreach(target IN LISTS targets)
    _quorvel_visit(${target})
  endforeach()
  list(REVERSE order)
  set(libs)
  foreach(target IN LISTS order)
    list(APPEND libs -lquorvel_${target})
  endforeach()
  set(requires)
  foreach(lib IN LISTS external)
    if(lib MATCHES "^Qt6::(.+)$")
      list(APPEND requires Qt6${CMAKE_MATCH_1})
    elseif(lib STREQUAL "OpenSSL::Crypto")
      list(APPEND requires "libcrypto >= 3")
    elseif(lib MATCHES "^PkgConfig::(.+)$")
      list(APPEND requires ${QUORVEL_PKG_MODULE_${CMAKE_MATCH_1}})
    elseif(lib STREQUAL "Threads::Threads")
      list(APPEND libs -pthread)
    elseif(lib MATCHES "^-")
      list(APPEND libs ${lib})
    elseif(lib STREQUAL CMAKE_DL_LIBS)
      list(APPEND libs -l${lib})
    endif()
  endforeach()
  list(REMOVE_DUPLICATES requires)
  list(JOIN libs " " libs)
  list(JOIN requires ", " requires)
  set(${out_libs} "${libs}" PARENT_SCOPE)
  set(${out_requires} "${requires}" PARENT_SCOPE)
endfunction()

set(QUORVEL_PKG_MODULE_CURL libcurl)
set(QUORVEL_PKG_MODULE_MSPACK libmspack)
set(QUORVEL_PKG_MODULE_SMBCLIENT smbclient)
set(QUORVEL_PKG_MODULE_ZSTD libzstd)
set(QUORVEL_PKG_MODULE_GCAB "libgcab-1.0 gio-2.0")

# The folders whose code needs Qt Gui or Widgets: they make
# libquorvel-widgets.so.1; the others make libquorvel.so.1, so that a console
# program links no Qt Gui.
set(QUORVEL_WIDGETS_TARGETS platform_core platform_canvas platform_theme progressdialog pictures htmlcaption widgets
                            resources)

# libquorvel.so.1 (target quorvel_shared) and libquorvel-widgets.so.1
# (quorvel_widgets) from the objects of the given folders' libraries. The
# folders stay static libraries for the programs and tests built here.
function(_quorvel_shared_libraries targets)
  set(headless)
  set(widgets)
  foreach(target IN LISTS targets)
    if(target IN_LIST QUORVEL_WIDGETS_TARGETS)
      list(APPEND widgets ${target})
    else()
      list(APPEND headless ${target})
    endif()
  endforeach()
  _quorvel_link_closure(_seen headless_external ${headless})
  foreach(target IN LISTS _seen)
    if(target IN_LIST QUORVEL_WIDGETS_TARGETS)
      message(FATAL_ERROR "${target} needs Qt Widgets and is linked by libquorvel: move it or its user")
    endif()
  endforeach()
  _quorvel_link_closure(_seen _external ${widgets})
  # What libquorvel links already is not linked twice.
  set(widgets_external)
  foreach(lib IN LISTS _external)
    if(lib MATCHES "^Qt6::" OR NOT lib IN_LIST headless_external)
      list(APPEND widgets_external ${lib})
    endif()
  endforeach()
  _quorvel_add_shared(quorvel_shared quorvel "${headless}" "${headless_external}")
  # QUORVEL_EXPORT: default visibility (made for a shared library; for a
  # static one the macro would be empty).
  generate_export_header(quorvel_shared BASE_NAME QUORVEL EXPORT_FILE_NAME ${PROJECT_BINARY_DIR}/export/QuorvelExport.h)
  _quorvel_add_shared(quorvel_widgets quorvel-widgets "${widgets}" "${widgets_external}")
  target_link_libraries(quorvel_widgets PUBLIC quorvel_shared)
  # libquorvel.so.1 lies beside it: found there in any prefix, as a
  # program's own run path does not reach the libraries it loads.
  set_target_properties(quorvel_widgets PROPERTIES INSTALL_RPATH "$ORIGIN")
endfunction()

function(_quorvel_add_shared name output targets external)
  set(objects)
  foreach(target IN LISTS targets)
    list(APPEND objects $<TARGET_OBJECTS:${target}>)
  endforeach()
  add_library(${name} SHARED ${objects})
  set_target_properties(${name} PROPERTIES OUTPUT_NAME ${output} VERSION ${PROJECT_VERSION}
                                           SOVERSION ${PROJECT_VERSION_MAJOR} LINKER_LANGUAGE CXX)
  # Every symbol the library uses is found when it is linked (not with the
  # sanitizers, whose run time only the program links).
  if(NOT QUORVEL_SANITIZE AND NOT QUORVEL_FUZZ)
    target_link_options(${name} PRIVATE LINKER:--no-undefined)
  endif()
  foreach(lib IN LISTS external)
    # Qt is in the public headers; the other libraries stay inside.
    if(lib MATCHES "^Qt6::")
      target_link_libraries(${name} PUBLIC ${lib})
    else()
      target_link_libraries(${name} PRIVATE ${lib})
    endif()
  endforeach()
endfunction()

# The targets a user links, one per component (out_components, in the order
# of component_names), and the targets installed for them (out_exported): the
# components' interface targets over the two shared libraries, or the folders'
# static archives. out_updater: what the Updater component links, as the
# dependency lines want it; out_updater_targets: the same by exported names.
function(_quorvel_component_targets out_components out_exported out_updater out_updater_targets component_names
         component_targets targets)
  if(NOT QUORVEL_SHARED)
    list(JOIN QUORVEL_UPDATER_LINKS "|" _updater_links)
    set(_updater_targets)
    foreach(target IN LISTS QUORVEL_UPDATER_LINKS)
      get_target_property(_export ${target} EXPORT_NAME)
      if(NOT _export)
        set(_export ${target})
      endif()
      list(APPEND _updater_targets Quorvel::${_export})
    endforeach()
    set(${out_components} "${component_targets}" PARENT_SCOPE)
    set(${out_exported} "${targets}" PARENT_SCOPE)
    set(${out_updater} "${_updater_links}" PARENT_SCOPE)
    set(${out_updater_targets} "${_updater_targets}" PARENT_SCOPE)
    return()
  endif()
  _quorvel_shared_libraries("${targets}")
  # Each component is its shared library under the component's name.
  set(_interfaces)
  foreach(component target IN ZIP_LISTS component_names component_targets)
    set(_interface quorvel_component_${component})
    add_library(${_interface} INTERFACE)
    set_target_properties(${_interface} PROPERTIES EXPORT_NAME ${component})
    if(target IN_LIST QUORVEL_WIDGETS_TARGETS)
      target_link_libraries(${_interface} INTERFACE quorvel_widgets)
    else()
      target_link_libraries(${_interface} INTERFACE quorvel_shared)
    endif()
    get_target_property(_options ${target} INTERFACE_LINK_OPTIONS)
    if(_options)
      target_link_options(${_interface} INTERFACE ${_options})
    endif()
    list(APPEND _interfaces ${_interface})
  endforeach()
  set(_updater_components Update ProgressDialog Captions Widgets)
  list(TRANSFORM _updater_components PREPEND Quorvel:: OUTPUT_VARIABLE _updater_targets)
  set(${out_components} "${_interfaces}" PARENT_SCOPE)
  set(${out_exported} "${_interfaces}" PARENT_SCOPE)
  set(${out_updater} "quorvel_component_Update|quorvel_component_Widgets" PARENT_SCOPE)
  set(${out_updater_targets} "${_updater_targets}" PARENT_SCOPE)
endfunction()

# The libraries themselves: the two shared libraries (runtime packages, their
# links in the dev package) and the exported interface targets, or the
# static archives.
function(_quorvel_install_binaries targets exported)
  if(QUORVEL_SHARED)
    install(TARGETS quorvel_shared EXPORT QuorvelTargets
            LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT runtime NAMELINK_COMPONENT dev
            PERMISSIONS OWNER_READ OWNER_WRITE GROUP_READ WORLD_READ)
    install(TARGETS quorvel_widgets EXPORT QuorvelTargets
            LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT runtime_widgets NAMELINK_COMPONENT dev
            PERMISSIONS OWNER_READ OWNER_WRITE GROUP_READ WORLD_READ)
    install(TARGETS ${exported} EXPORT QuorvelTargets COMPONENT dev)
    return()
  endif()
  foreach(target IN LISTS targets)
    # Installed names say whose they are: libquorvel_transfer.a, ...
    set_target_properties(${target} PROPERTIES OUTPUT_NAME quorvel_${target})
  endforeach()
  install(TARGETS ${targets} EXPORT QuorvelTargets ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT dev)
endfunction()

# <quorvel/version.h> and the headers. The components' main headers are the
# public ones, <quorvel/WebCopy.h>; what they include goes below
# quorvel/detail, off the callers' path.
function(_quorvel_install_headers headers main_headers)
  # The release: one version for the libraries, programs and packages.
  configure_file(${PROJECT_SOURCE_DIR}/cmake/version.h.in ${PROJECT_BINARY_DIR}/include/quorvel/version.h @ONLY)
  set(_staged ${PROJECT_BINARY_DIR}/include-install)
  _quorvel_stage_headers(${_staged} "${headers}" "${main_headers}")
  set(_public)
  set(_detail)
  foreach(header IN LISTS headers)
    get_filename_component(_name ${header} NAME)
    if(_name IN_LIST main_headers)
      list(APPEND _public ${_staged}/quorvel/${_name})
    else()
      list(APPEND _detail ${_staged}/quorvel/detail/${_name})
    endif()
  endforeach()
  install(FILES ${_public} ${PROJECT_BINARY_DIR}/include/quorvel/version.h
          DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/${QUORVEL_INCLUDE_SUBDIR} COMPONENT dev)
  install(FILES ${_detail} DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/${QUORVEL_INCLUDE_SUBDIR}/detail COMPONENT dev)
endfunction()

# quorvel.pc for pkg-config users (and quorvel-widgets.pc with the shared
# libraries); its prefix is found from where the file is, so the installed
# tree can move (a package's staging folder included).
function(_quorvel_install_pkgconfig targets external)
  file(RELATIVE_PATH _up /${CMAKE_INSTALL_LIBDIR}/pkgconfig /)
  string(REGEX REPLACE "/$" "" _up "${_up}")
  set(QUORVEL_PC_PREFIX "\${pcfiledir}/${_up}")
  set(QUORVEL_PC_NAME Quorvel)
  if(NOT QUORVEL_SHARED)
    set(QUORVEL_PC_DESCRIPTION "transfer engine, cabinets, HTML button, pictures, progress bar, install and update")
    _quorvel_pkgconfig_lines(QUORVEL_PC_LIBS QUORVEL_PC_REQUIRES "${targets}" "${external}")
    configure_file(${PROJECT_SOURCE_DIR}/cmake/quorvel.pc.in ${PROJECT_BINARY_DIR}/quorvel.pc @ONLY)
    install(FILES ${PROJECT_BINARY_DIR}/quorvel.pc DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig COMPONENT dev)
    return()
  endif()
  # One file per shared library: quorvel (Qt Core) and quorvel-widgets.
  set(QUORVEL_PC_DESCRIPTION "transfer engine, cabinets, install and update")
  set(QUORVEL_PC_LIBS -lquorvel)
  set(QUORVEL_PC_REQUIRES Qt6Core)
  configure_file(${PROJECT_SOURCE_DIR}/cmake/quorvel.pc.in ${PROJECT_BINARY_DIR}/quorvel.pc @ONLY)
  set(QUORVEL_PC_NAME "Quorvel widgets")
  set(QUORVEL_PC_DESCRIPTION "progress window, HTML button, pictures and progress bar")
  set(QUORVEL_PC_LIBS -lquorvel-widgets)
  set(QUORVEL_PC_REQUIRES "quorvel, Qt6Core, Qt6Gui, Qt6Widgets")
  configure_file(${PROJECT_SOURCE_DIR}/cmake/quorvel.pc.in ${PROJECT_BINARY_DIR}/quorvel-widgets.pc @ONLY)
  install(FILES ${PROJECT_BINARY_DIR}/quorvel.pc ${PROJECT_BINARY_DIR}/quorvel-widgets.pc
          DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig COMPONENT dev)
endfunction()

function(quorvel_install_library)
  set(component_targets)
  set(main_headers)
  set(component_names)
  set(_spec ${_quorvel_components})
  while(_spec)
    list(POP_FRONT _spec component target header)
    list(APPEND component_names ${component})
    list(APPEND component_targets ${target})
    list(APPEND main_headers ${header})
    set_target_properties(${target} PROPERTIES EXPORT_NAME ${component})
  endwhile()

  # The updater's sources (app/) link and include these as well.
  _quorvel_link_closure(targets external ${component_targets} ${QUORVEL_UPDATER_LINKS})

  if(NOT QUORVEL_SHARED)
    # Nothing to export from: QUORVEL_EXPORT is empty.
    generate_export_header(platform_base BASE_NAME QUORVEL EXPORT_FILE_NAME
                           ${PROJECT_BINARY_DIR}/export/QuorvelExport.h)
  endif()
  _quorvel_component_targets(_component_targets _exported _updater_links QUORVEL_UPDATER_TARGETS
                             "${component_names}" "${component_targets}" "${targets}")
  # After QuorvelExport.h is made, which the headers include.
  _quorvel_header_closure(headers "${targets}" ${main_headers} ${QUORVEL_UPDATER_HEADERS})
  foreach(target IN LISTS _exported)
    target_include_directories(${target} INTERFACE $<INSTALL_INTERFACE:${CMAKE_INSTALL_INCLUDEDIR}>)
    target_compile_features(${target} INTERFACE cxx_std_20)
  endforeach()

  set(_component_pairs)
  foreach(component target IN ZIP_LISTS component_names _component_targets)
    list(APPEND _component_pairs ${component} ${target})
  endforeach()
  # The updater's libraries, found when quorvel_add_updater() is called.
  list(APPEND _component_pairs Updater "${_updater_links}")
  _quorvel_dependency_lines(QUORVEL_FIND_DEPENDENCIES "${_component_pairs}")

  _quorvel_install_binaries("${targets}" "${_exported}")
  _quorvel_install_headers("${headers}" "${main_headers}")
  _quorvel_install_pkgconfig("${targets}" "${external}")
  install(EXPORT QuorvelTargets NAMESPACE Quorvel:: DESTINATION ${QUORVEL_CMAKE_DIR} COMPONENT dev)

  # The package's CMake files; quorvel_add_updater() links the updater's
  # libraries by their exported names (QUORVEL_UPDATER_TARGETS).
  set(QUORVEL_COMPONENT_NAMES "${component_names}")
  set(QUORVEL_UPDATER_SOURCE_DIR ${CMAKE_INSTALL_DATADIR}/quorvel/updater)
  # The updater's sources include our headers by their plain names.
  set(QUORVEL_UPDATER_INCLUDE_DIR ${CMAKE_INSTALL_INCLUDEDIR}/${QUORVEL_INCLUDE_SUBDIR})
  configure_package_config_file(${PROJECT_SOURCE_DIR}/cmake/QuorvelConfig.cmake.in
                                ${PROJECT_BINARY_DIR}/QuorvelConfig.cmake INSTALL_DESTINATION ${QUORVEL_CMAKE_DIR}
                                PATH_VARS QUORVEL_UPDATER_SOURCE_DIR QUORVEL_UPDATER_INCLUDE_DIR)
  configure_file(${PROJECT_SOURCE_DIR}/cmake/QuorvelAddUpdater.cmake.in ${PROJECT_BINARY_DIR}/QuorvelAddUpdater.cmake
                 @ONLY)
  write_basic_package_version_file(${PROJECT_BINARY_DIR}/QuorvelConfigVersion.cmake VERSION ${PROJECT_VERSION}
                                   COMPATIBILITY SameMajorVersion)
  install(FILES ${PROJECT_BINARY_DIR}/QuorvelConfig.cmake ${PROJECT_BINARY_DIR}/QuorvelConfigVersion.cmake
                ${PROJECT_BINARY_DIR}/QuorvelAddUpdater.cmake DESTINATION ${QUORVEL_CMAKE_DIR} COMPONENT dev)
endfunction()
