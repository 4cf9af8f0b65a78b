# What an install puts where, by component, and the Debian package made of it:
#   cmake --install build --prefix DIR [--component plugin|tool|docs]
#   cd build && cpack -G DEB
# Destinations are relative to the prefix (see the top-level CMakeLists.txt).

# plugin: the host loads these from its plug-in folder. They carry no RPATH: the
# host they are loaded into brings its own SDK, already loaded by its soname.
install(TARGETS ${VTHUD_PLUGIN_TARGETS} LIBRARY DESTINATION ${VTHUD_INSTALL_PLUGINDIR} COMPONENT plugin)

# tool: the preview tool and the stand-in libraries it runs on, found through its
# RPATH relative to where it lies, so a prefix can be moved or unpacked anywhere.
file(RELATIVE_PATH _vthud_bin_to_private "/${VTHUD_INSTALL_BINDIR}" "/${VTHUD_INSTALL_PRIVATE_LIBDIR}")
set_target_properties(vthud_preview PROPERTIES INSTALL_RPATH "$ORIGIN/${_vthud_bin_to_private}")
install(TARGETS vthud_preview RUNTIME DESTINATION ${VTHUD_INSTALL_BINDIR} COMPONENT tool)
install(TARGETS fbsdk vantor LIBRARY DESTINATION ${VTHUD_INSTALL_PRIVATE_LIBDIR} COMPONENT tool NAMELINK_SKIP)

# The plug-in and the tool both embed the bundled faces, so either ships their licences.
foreach(_vthud_component plugin tool)
  install(FILES ${CMAKE_SOURCE_DIR}/resources/LICENSE-Liberation.txt ${CMAKE_SOURCE_DIR}/resources/LICENSE-Inconsolata.txt
          DESTINATION ${VTHUD_INSTALL_DATADIR}/licences COMPONENT ${_vthud_component})
endforeach()

# docs: the shipped layouts and the sample FDL, for --layout and --fdl.
install(DIRECTORY ${CMAKE_SOURCE_DIR}/layouts/ DESTINATION ${VTHUD_INSTALL_DATADIR}/layouts COMPONENT docs
        FILES_MATCHING PATTERN "*.json")
install(DIRECTORY ${CMAKE_SOURCE_DIR}/docs/fdl/ DESTINATION ${VTHUD_INSTALL_DATADIR}/fdl COMPONENT docs
        FILES_MATCHING PATTERN "*.fdl")

# One .deb holding every component, installed under /usr.
set(VTHUD_PACKAGE_CONTACT "VT HUD maintainers <vthud@example.com>"
    CACHE STRING "Maintainer field of the Debian package")
set(CPACK_PACKAGE_NAME vthud)
set(CPACK_PACKAGE_CONTACT "${VTHUD_PACKAGE_CONTACT}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "VT HUD Element: a production HUD plug-in and its preview and burn-in tool")
set(CPACK_PACKAGE_DESCRIPTION
    "The MotionBuilder HUD element plug-in (in /usr/${VTHUD_INSTALL_PLUGINDIR}), the vthud_preview tool that \
draws its overlay into PNGs, image sequences and video, and the shipped layouts and a sample FDL.")
set(CPACK_COMPONENTS_ALL plugin tool docs)
set(CPACK_STRIP_FILES ON)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION graphics)
# Shared-library dependencies come from dpkg-shlibdeps; it resolves the private
# stand-ins inside the package (the plug-in names the SDK but has no RPATH).
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# (It runs in the staging folder, so the folder is given relative to it.)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS_PRIVATE_DIRS .${CPACK_PACKAGING_INSTALL_PREFIX}/${VTHUD_INSTALL_PRIVATE_LIBDIR})
# What no ELF header names: the default headless context is Mesa's llvmpipe, a
# driver EGL loads by itself. FFmpeg's libraries are found by dpkg-shlibdeps.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "libgl1-mesa-dri")
# --farm slurm submits with sbatch; the cluster is the site's.
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "slurm-client")
include(CPack)
