# The Windows program linked with a static Qt: the notices of Qt and of what
# it carries beside the program, and its installer.
#
#   cmake --build <dir> --target korvastel_msi      korvastel-<version>-x64.msi
#
# KORVASTEL_SIGNING_CERTIFICATE and KORVASTEL_SIGNING_KEY (PEM files) sign the
# installer when both are given.

# What the Qt build kept of its source's licences (tools/windows-qt).
set(qt_licenses ${QT6_INSTALL_PREFIX}/licenses)
set(notices ${CMAKE_CURRENT_BINARY_DIR}/THIRD-PARTY-NOTICES.txt)
if(EXISTS ${qt_licenses})
  find_package(Python3 REQUIRED COMPONENTS Interpreter)
  add_custom_command(OUTPUT ${notices}
    COMMAND Python3::Interpreter ${CMAKE_CURRENT_SOURCE_DIR}/windows/third_party_notices.py
      ${qt_licenses} ${PROJECT_SOURCE_DIR}/LICENSE ${notices}
    DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/windows/third_party_notices.py ${PROJECT_SOURCE_DIR}/LICENSE
    COMMENT "Writing the third-party notices"
    VERBATIM)
  add_custom_target(korvastel_notices ALL DEPENDS ${notices})
  install(FILES ${notices} DESTINATION .)
else()
  message(WARNING "${qt_licenses} not found: the program is installed without Qt's notices, which "
                  "its licence asks for. Build Qt with tools/windows-qt, or add them by hand.")
endif()

# The installer, built from the installation folder staged beside it, with
# the program's icon for the Start menu and the installed-programs list.
set(KORVASTEL_MSI_VERSION ${PROJECT_VERSION_MAJOR}.${PROJECT_VERSION_MINOR}.0)
set(staging ${CMAKE_BINARY_DIR}/msi-staging)
set(msi ${CMAKE_BINARY_DIR}/korvastel-${PROJECT_VERSION}-x64.msi)
set(signing)
if(KORVASTEL_SIGNING_CERTIFICATE AND KORVASTEL_SIGNING_KEY)
  set(signing --sign ${KORVASTEL_SIGNING_CERTIFICATE} ${KORVASTEL_SIGNING_KEY})
endif()
add_custom_target(korvastel_msi ALL
  COMMAND ${CMAKE_COMMAND} -E rm -rf ${staging}
  COMMAND ${CMAKE_COMMAND} --install ${CMAKE_BINARY_DIR} --prefix ${staging}
  COMMAND ${CMAKE_COMMAND} -E copy ${CMAKE_BINARY_DIR}/app/korvastel.ico ${staging}/korvastel.ico
  COMMAND ${CMAKE_CURRENT_SOURCE_DIR}/windows/make-msi ${staging} ${KORVASTEL_MSI_VERSION} ${msi} ${signing}
  BYPRODUCTS ${msi}
  COMMENT "Making the installer korvastel-${PROJECT_VERSION}-x64.msi"
  VERBATIM)
add_dependencies(korvastel_msi korvastel korvastel_notices)
if(TARGET korvastel_help)
  add_dependencies(korvastel_msi korvastel_help)
endif()

# Installed, used, upgraded and removed under Wine; signed with a throwaway
# certificate. The installed program goes through the smoke test.
add_test(NAME InstallerInstallsUpgradesAndRemoves
  COMMAND ${PROJECT_SOURCE_DIR}/tests/e2e/test-msi ${staging} ${KORVASTEL_MSI_VERSION}
    --smoke env KORVASTEL_PICTURES=${CMAKE_BINARY_DIR}/ui/icons
      ${PROJECT_SOURCE_DIR}/tests/e2e/windows-smoke {} ${CMAKE_BINARY_DIR}/installed-smoke.png)
set_tests_properties(InstallerInstallsUpgradesAndRemoves PROPERTIES
  LABELS packaging TIMEOUT 900 SKIP_RETURN_CODE 77 RUN_SERIAL TRUE)
