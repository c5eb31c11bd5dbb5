# Install rules, the CMake package (quorvel::quorvel, QuorvelConfig.cmake and its version
# file), the pkg-config file and the Debian package. Included by the top-level
# CMakeLists.txt after every target is defined.
include(GNUInstallDirs)
include(CMakePackageConfigHelpers)

set(QUORVEL_CMAKE_DIR ${CMAKE_INSTALL_LIBDIR}/cmake/Quorvel)

set_target_properties(quorvel PROPERTIES EXPORT_NAME quorvel)
install(TARGETS quorvel EXPORT QuorvelTargets
  ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR}
  LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR}
  RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(DIRECTORY ${PROJECT_SOURCE_DIR}/include/quorvel ${PROJECT_BINARY_DIR}/include/quorvel
  DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})

foreach(program IN LISTS QUORVEL_PROGRAMS)
  if(TARGET ${program})
    install(TARGETS ${program} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
    # A shared library is found beside the programs' own prefix, wherever it is.
    if(BUILD_SHARED_LIBS)
      set_target_properties(${program} PROPERTIES INSTALL_RPATH "$ORIGIN/../${CMAKE_INSTALL_LIBDIR}")
    endif()
  endif()
endforeach()

install(FILES ${PROJECT_SOURCE_DIR}/LICENSE ${PROJECT_SOURCE_DIR}/THIRD_PARTY_NOTICES.md
  DESTINATION ${CMAKE_INSTALL_DOCDIR})

# find_package(Quorvel): the exported target and the dependencies it links, which the
# configuration finds itself (a static library passes its own links on to its users).
install(EXPORT QuorvelTargets NAMESPACE quorvel:: DESTINATION ${QUORVEL_CMAKE_DIR})
configure_package_config_file(${PROJECT_SOURCE_DIR}/cmake/QuorvelConfig.cmake.in
  ${PROJECT_BINARY_DIR}/QuorvelConfig.cmake INSTALL_DESTINATION ${QUORVEL_CMAKE_DIR})
write_basic_package_version_file(${PROJECT_BINARY_DIR}/QuorvelConfigVersion.cmake
  COMPATIBILITY SameMajorVersion)
install(FILES ${PROJECT_BINARY_DIR}/QuorvelConfig.cmake
  ${PROJECT_BINARY_DIR}/QuorvelConfigVersion.cmake DESTINATION ${QUORVEL_CMAKE_DIR})

# pkg-config: the prefix is found from the file's own place, so the same file serves any
# install prefix and the Debian package. A static library's own links go in Libs and its
# libpng in Requires; a shared one keeps them private.
file(RELATIVE_PATH QUORVEL_PC_TO_PREFIX /root/${CMAKE_INSTALL_LIBDIR}/pkgconfig /root)
string(REGEX REPLACE "/$" "" QUORVEL_PC_TO_PREFIX "${QUORVEL_PC_TO_PREFIX}")
if(BUILD_SHARED_LIBS)
  set(QUORVEL_PC_LIBS "")
  set(QUORVEL_PC_LIBS_PRIVATE "-lgif -pthread")
  set(QUORVEL_PC_REQUIRES "")
  set(QUORVEL_PC_REQUIRES_PRIVATE "libpng")
else()
  set(QUORVEL_PC_LIBS " -lgif -pthread")
  set(QUORVEL_PC_LIBS_PRIVATE "")
  set(QUORVEL_PC_REQUIRES " libpng")
  set(QUORVEL_PC_REQUIRES_PRIVATE "")
endif()
configure_file(${PROJECT_SOURCE_DIR}/cmake/quorvel.pc.in ${PROJECT_BINARY_DIR}/quorvel.pc @ONLY)
install(FILES ${PROJECT_BINARY_DIR}/quorvel.pc DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig)

# On Windows the programs find their DLLs beside them (SDL2, libpng, the compiler's
# runtime), so the package carries them there with their licences; cpack -G ZIP then
# gives quorvel-<version>-win64.zip.
set(QUORVEL_RUNTIME_DLLS "" CACHE FILEPATH "DLLs the Windows programs need, installed beside them")
set(QUORVEL_RUNTIME_LICENCES "" CACHE PATH "A folder of the licences of those DLLs")
if(WIN32)
  install(FILES ${QUORVEL_RUNTIME_DLLS} DESTINATION ${CMAKE_INSTALL_BINDIR})
  if(QUORVEL_RUNTIME_LICENCES)
    install(DIRECTORY ${QUORVEL_RUNTIME_LICENCES}/ DESTINATION ${CMAKE_INSTALL_DOCDIR}/licences)
  endif()
  set(CPACK_PACKAGE_FILE_NAME quorvel-${PROJECT_VERSION}-win64)
  set(CPACK_GENERATOR ZIP)
endif()

# cpack -G DEB
set(CPACK_PACKAGE_NAME quorvel)
set(CPACK_PACKAGE_VENDOR "the Quorvel authors")
set(CPACK_PACKAGE_CONTACT "the Quorvel authors")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Palette effects for 256-colour indexed screens")
set(CPACK_RESOURCE_FILE_LICENSE ${PROJECT_SOURCE_DIR}/LICENSE)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION libdevel)
# The programs' shared libraries come from dpkg-shlibdeps; the headers and the CMake and
# pkg-config files need the development packages of what the library links.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "libsdl2-dev, libgif-dev, libpng-dev")
include(CPack)
