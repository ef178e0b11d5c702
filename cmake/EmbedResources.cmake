# scrivane_form_resources(<target> <files...>)
# Embeds form resources (.frm) into <target>. The build generates FormResources_<target>.cpp with the bytes
# of each file and FormResources_<target>.h declaring
#     void RegisterFormResources_<target>();
# (the target name with characters other than letters, digits and '_' turned into '_'). Call it before
# the first vcl::ReadComponentResource / vcl::FindFormResource: nothing registers itself from a static
# initialiser, since static libraries drop objects nobody references. Each resource is found by its file
# name ("MainUnit.frm") or by the class of its root object ("TfrmMainMenu"). The header's folder is added
# to the target's PUBLIC include directories; <target> must have sources of its own (not an INTERFACE
# placeholder) and link platform_vcl.

set(SCRIVANE_EMBED_SCRIPT ${CMAKE_CURRENT_LIST_DIR}/EmbedResourcesGenerate.cmake)

function(scrivane_form_resources target)
  if(NOT ARGN)
    message(FATAL_ERROR "scrivane_form_resources(${target}): no resource files given")
  endif()
  string(MAKE_C_IDENTIFIER "${target}" ident)
  set(outdir ${CMAKE_CURRENT_BINARY_DIR}/${ident}_formres)
  set(header ${outdir}/FormResources_${ident}.h)
  set(source ${outdir}/FormResources_${ident}.cpp)
  set(files)
  foreach(file IN LISTS ARGN)
    get_filename_component(absolute ${file} ABSOLUTE BASE_DIR ${CMAKE_CURRENT_SOURCE_DIR})
    list(APPEND files ${absolute})
  endforeach()
  # A list cannot cross the command line as it stands; '|' never appears in our paths.
  string(REPLACE ";" "|" joined "${files}")
  add_custom_command(
    OUTPUT ${header} ${source}
    COMMAND ${CMAKE_COMMAND} -DTARGET_IDENT=${ident} -DOUTPUT_HEADER=${header} -DOUTPUT_SOURCE=${source}
            -DINPUT_FILES=${joined} -P ${SCRIVANE_EMBED_SCRIPT}
    DEPENDS ${files} ${SCRIVANE_EMBED_SCRIPT}
    COMMENT "Embedding form resources of ${target}"
    VERBATIM)
  target_sources(${target} PRIVATE ${source} ${header})
  target_include_directories(${target} PUBLIC ${outdir})
endfunction()
