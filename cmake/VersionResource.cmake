# Version information embedded into our executables.
#
# scrivane_version_resource(<target> FILEVERSION <a.b.c.d> [PRODUCTVERSION <a.b.c.d>] [FILETYPE APP|DLL]
#                           [BLOCK <llllcccc>] [VALUES "Name=Text" ...])
#
# Builds a VS_VERSIONINFO block (fixed part with the two versions, 32-bit Windows, the file type; one
# string table in BLOCK, default "040904E4", with the VALUES in their order; a translation table naming
# that block's language and code page) and compiles it into <target> in the section that
# win::GetFileVersionInfoSize looks for in an ELF file (platform/win/PeImage.h). PRODUCTVERSION defaults to
# FILEVERSION, FILETYPE to APP. A value's text may be empty ("Comments="); it may not hold ';' or a line
# break. The block is made at build time by a small program built first, from a description file that is
# rewritten only when the arguments change.

include_guard(GLOBAL)

set(SCRIVANE_VERSION_GENERATOR_SOURCE ${CMAKE_CURRENT_LIST_DIR}/VersionResourceGenerate.cpp)

function(scrivane_version_resource target)
  cmake_parse_arguments(ARG "" "FILEVERSION;PRODUCTVERSION;FILETYPE;BLOCK" "VALUES" ${ARGN})
  if(ARG_UNPARSED_ARGUMENTS)
    message(FATAL_ERROR "scrivane_version_resource(${target}): unknown arguments ${ARG_UNPARSED_ARGUMENTS}")
  endif()
  if(NOT ARG_FILEVERSION)
    message(FATAL_ERROR "scrivane_version_resource(${target}): FILEVERSION is required")
  endif()

  if(NOT TARGET scrivane_version_generator)
    add_executable(scrivane_version_generator ${SCRIVANE_VERSION_GENERATOR_SOURCE})
    target_compile_options(scrivane_version_generator PRIVATE ${SCRIVANE_WARNINGS})
    target_link_libraries(scrivane_version_generator PRIVATE platform_win)
  endif()

  set(description "FILEVERSION ${ARG_FILEVERSION}\n")
  if(ARG_PRODUCTVERSION)
    string(APPEND description "PRODUCTVERSION ${ARG_PRODUCTVERSION}\n")
  endif()
  if(ARG_FILETYPE)
    string(APPEND description "FILETYPE ${ARG_FILETYPE}\n")
  endif()
  if(ARG_BLOCK)
    string(APPEND description "BLOCK ${ARG_BLOCK}\n")
  endif()
  foreach(value IN LISTS ARG_VALUES)
    if(value MATCHES "[\r\n]")
      message(FATAL_ERROR "scrivane_version_resource(${target}): value '${value}' holds a line break")
    endif()
    string(APPEND description "VALUE ${value}\n")
  endforeach()

  string(MAKE_C_IDENTIFIER "${target}" ident)
  set(outdir ${CMAKE_CURRENT_BINARY_DIR}/${ident}_version)
  set(description_file ${outdir}/VersionResource.txt)
  set(source ${outdir}/VersionResource_${ident}.cpp)
  # Rewritten only when it changes, so an unchanged configuration rebuilds nothing.
  file(WRITE ${description_file}.new "${description}")
  file(COPY_FILE ${description_file}.new ${description_file} ONLY_IF_DIFFERENT)
  file(REMOVE ${description_file}.new)

  add_custom_command(
    OUTPUT ${source}
    # The generator shares the sanitised build; its short life needs no leak report.
    COMMAND ${CMAKE_COMMAND} -E env ASAN_OPTIONS=detect_leaks=0
            $<TARGET_FILE:scrivane_version_generator> ${description_file} ${source}
    DEPENDS scrivane_version_generator ${description_file}
    COMMENT "Generating the version information of ${target}"
    VERBATIM)
  target_sources(${target} PRIVATE ${source})
endfunction()
