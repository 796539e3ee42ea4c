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
    COMMAND Python3::Interpreter ${CMAKE_CURRENT_SOURCE_DIR}/windows/third-party-notices.py
      ${qt_licenses} ${PROJECT_SOURCE_DIR}/LICENSE ${notices}
    DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/windows/third-party-notices.py ${PROJECT_SOURCE_DIR}/LICENSE
    COMMENT "Writing the third-party notices"
    VERBATIM)
  add_custom_target(korvastel_notices ALL DEPENDS ${notices})
  install(FILES ${notices} DESTINATION .)
else()
  message(WARNING "${qt_licenses} not found: the program is installed without Qt's notices, which "
                  "its licence asks for. Build Qt with tools/windows-qt, or add them by hand.")
endif()
