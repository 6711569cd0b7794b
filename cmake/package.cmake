# The Debian package: `cpack -G DEB` in the build folder writes zemparol_<version>_<arch>.deb.
set(CPACK_PACKAGE_NAME zemparol)
set(CPACK_PACKAGE_VENDOR Calvexa)
set(CPACK_PACKAGE_CONTACT Calvexa)
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Directorio de miembros de una red de investigación")
set(CPACK_PACKAGE_DESCRIPTION
    "Busca a los miembros de la red en el archivo zemparol.mdb de la carpeta desde la que se\n\
inicia (o en el servidor que indique la configuración), los lista en una tabla que se\n\
ordena, filtra, imprime y guarda, y muestra la ficha de cada miembro lista para imprimir.")
set(CPACK_GENERATOR DEB)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION misc)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
# Libraries are found by dpkg-shlibdeps; the fonts are not linked, so they are named: the
# layouts measure and draw with the metric twins of the faces they name.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "fonts-liberation2, fonts-wine")
# Qt's own dialogs (printer selection, files) in Spanish.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "qt6-translations-l10n")
# A directory kept on a PostgreSQL server is reached through its ODBC driver.
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "odbc-postgresql")
include(CPack)
