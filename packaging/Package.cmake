# The Debian package (make package): everything cmake --install puts under the prefix,
# installed under /usr. Run lintian on the result (make package does).
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME quillmark)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "Quillmark team")
set(CPACK_PACKAGE_CONTACT "Quillmark team <hello@quillmark.example>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "photo montage: scenes of photographs, sketches and paintings")
set(CPACK_PACKAGE_DESCRIPTION "Quillmark combines photographs into scenes and turns photographs into
drawings and paintings. A background, any number of foreground photographs
as layers placed, sized, turned and reordered on the canvas, soft-edged
masks, transparency and frames; photo effects such as Pencil Sketch, Pen &
Ink and Water color, and background effects such as Emboss and Texture.
Finished scenes are saved, printed, set as the wallpaper or collected in an
album that plays on its own.

The package holds the window program quillmark, the command-line tool
quillmark-cli for batch work on the same picture code, and the album player
quillmark-player.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION graphics)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE https://quillmark.example)
# The libraries the programs link come from dpkg-shlibdeps; Qt's platform plugins are
# loaded at run time, so no library names them.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
if(QUILL_BUILD_APP)
  set(CPACK_DEBIAN_PACKAGE_DEPENDS qt6-qpa-plugins)
  set(CPACK_DEBIAN_PACKAGE_RECOMMENDS xdg-utils)
endif()
# Directories 0755 and files 0644 whatever the umask of the build.
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
include(CPack)
