# Writes the version header: the version and the commit the build is made from ("-dirty" when the
# work tree has changes, "unknown" outside a git checkout). Run at every build; the header is
# rewritten only when its text changes, so an unchanged commit recompiles nothing.
execute_process(COMMAND git -C "${SOURCE_DIR}" rev-parse --short=12 HEAD
                OUTPUT_VARIABLE PELLORA_COMMIT OUTPUT_STRIP_TRAILING_WHITESPACE
                RESULT_VARIABLE failed ERROR_QUIET)
if(failed OR PELLORA_COMMIT STREQUAL "")
  set(PELLORA_COMMIT "unknown")
else()
  execute_process(COMMAND git -C "${SOURCE_DIR}" status --porcelain --untracked-files=no
                  OUTPUT_VARIABLE changes ERROR_QUIET)
  if(NOT changes STREQUAL "")
    string(APPEND PELLORA_COMMIT "-dirty")
  endif()
endif()
configure_file("${CMAKE_CURRENT_LIST_DIR}/pellora_version.h.in" "${OUTPUT}" @ONLY)
